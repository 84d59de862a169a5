#pragma once

#include "Ingestion/TranscriptItem.h"

#include <string_view>
#include <vector>

// Gemini CLI session records (model replies with tool calls and token counts, function responses).
namespace velquist::GeminiTranscriptParser {

// One line without its line feed to the items it holds, in line order; empty for a line that is
// unreadable or of no interest. Pure and thread-safe.
std::vector<TranscriptItem> parse(std::string_view line);

} // namespace velquist::GeminiTranscriptParser
