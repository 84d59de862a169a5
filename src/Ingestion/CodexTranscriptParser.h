#pragma once

#include "Ingestion/TranscriptItem.h"

#include <string_view>
#include <vector>

// Codex rollout lines (task start and end, token counts, agent messages, function calls).
namespace velquist::CodexTranscriptParser {

// One line without its line feed to the items it holds, in line order; empty for a line that is
// unreadable or of no interest. Pure and thread-safe.
std::vector<TranscriptItem> parse(std::string_view line);

} // namespace velquist::CodexTranscriptParser
