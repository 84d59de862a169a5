#pragma once

#include "Ingestion/TranscriptItem.h"

#include <string_view>
#include <vector>

// Claude Code's transcript lines (JSON lines: titles, assistant messages with their usage, user
// messages carrying tool results).
namespace velquist::TranscriptParser {

// One line without its line feed to the items it holds, in line order; empty for a line that is
// unreadable or of no interest. Pure and thread-safe.
std::vector<TranscriptItem> parse(std::string_view line);

} // namespace velquist::TranscriptParser
