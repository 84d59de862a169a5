#pragma once

#include "Ingestion/TranscriptItem.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velquist {

// What a tailer has learned from a transcript so far; handed whole to its owner.
struct TranscriptSnapshot
{
    std::optional<std::string> lastAssistantText;
    std::optional<std::string> lastToolActivity;
    // Tool results counted in the current file (see `generation`).
    std::int64_t toolResultCount = 0;
    std::optional<std::int64_t> contextTokens;
    std::optional<std::string> contextModel;
    std::optional<std::int64_t> contextLimit;
    std::optional<std::string> aiTitle;
    // Raised each time the file at the path was replaced (deleted and recreated, renamed over or
    // truncated in place). `toolResultCount` then counts the new file from 0, so a snapshot whose
    // generation differs from the previous one is a new baseline, not growth.
    std::int64_t generation = 0;

    // Folds one item in; a later item of the same kind wins.
    void apply(const TranscriptItem& item);

    bool operator==(const TranscriptSnapshot&) const = default;
};

} // namespace velquist
