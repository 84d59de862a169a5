#pragma once

#include "Ingestion/TranscriptItem.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velquist {

// What a tailer has learned from a transcript so far; handed whole to its owner.
struct TranscriptSnapshot
{
    std::optional<std::string> lastAssistantText;
    std::optional<std::string> lastToolActivity;
    // Tool results counted in the current file (see `generation`).
    std::int64_t toolResultCount = 0;
    // The same results by the name of the tool they answer, where the transcript ties a result to
    // its call; `unattributedToolResults` counts the others.
    std::map<std::string, std::int64_t> toolResultsByName;
    std::int64_t unattributedToolResults = 0;
    // Recent calls still waiting for their result (id, tool name), oldest first, at most
    // kMaxOpenToolUses.
    std::vector<std::pair<std::string, std::string>> openToolUses;
    std::optional<std::int64_t> contextTokens;
    std::optional<std::string> contextModel;
    std::optional<std::int64_t> contextLimit;
    std::optional<std::string> aiTitle;
    // Raised each time the file at the path was replaced (deleted and recreated, renamed over or
    // truncated in place). `toolResultCount` then counts the new file from 0, so a snapshot whose
    // generation differs from the previous one is a new baseline, not growth.
    std::int64_t generation = 0;

    static constexpr std::size_t kMaxOpenToolUses = 64;

    // Folds one item in; a later item of the same kind wins.
    void apply(const TranscriptItem& item);
    // Starts the tool-result counts afresh, for a new file.
    void resetToolResults();

    bool operator==(const TranscriptSnapshot&) const = default;

  private:
    void countToolResult(const TranscriptItem::ToolResult& result);
};

} // namespace velquist
