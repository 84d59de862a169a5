#pragma once

#include "Ingestion/TranscriptItem.h"

#include <string_view>
#include <vector>

// Each agent's transcript line parser written over the whole line as a tree: the yardstick the
// real parsers must match on every line.
namespace velquist::ReferenceTranscriptParsers {

std::vector<TranscriptItem> claude(std::string_view line);
std::vector<TranscriptItem> codex(std::string_view line);
std::vector<TranscriptItem> cursor(std::string_view line);
std::vector<TranscriptItem> gemini(std::string_view line);
std::vector<TranscriptItem> qwen(std::string_view line);

} // namespace velquist::ReferenceTranscriptParsers
