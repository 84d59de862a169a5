#pragma once

#include "Ingestion/TranscriptItem.h"

#include <string_view>
#include <vector>

// Qwen Code session records (assistant parts and usage, tool results).
namespace velquist::QwenTranscriptParser {

// One line without its line feed to the items it holds, in line order; empty for a line that is
// unreadable or of no interest. Pure and thread-safe.
std::vector<TranscriptItem> parse(std::string_view line);

} // namespace velquist::QwenTranscriptParser
