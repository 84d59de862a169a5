#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velquist::ToolText {

// Helpers for the texts shown from agent tool calls. "Characters" are user-perceived characters
// (grapheme clusters), so a cut never splits a UTF-8 sequence, an accent from its letter or an
// emoji sequence. Invalid UTF-8 reaching a cut is replaced rather than passed on in pieces.

// When `text` has more than `maxCharacters` characters, its first `keptCharacters` followed by
// `marker`; otherwise `text` unchanged. Only the part of the text up to the cut is examined.
std::string truncated(std::string_view text, std::size_t maxCharacters, std::size_t keptCharacters,
                      std::string_view marker);

// The one-line form of agent text: every line break (LF or CR LF) becomes one space.
std::string oneLine(std::string_view text);

// One-line form cut to 64 characters (63 and "…"), the bound of activity texts.
std::string activityLine(std::string_view text);

// The number of lines: line feeds plus one (a CR LF pair is one line break).
std::int64_t lineCount(std::string_view text);

// The last component of a file-system path: "/src/main.c" gives "main.c", "/src/app/" gives "app",
// a bare name gives itself and "/" gives "/".
std::string fileName(std::string_view path);

bool isValidUtf8(std::string_view text);

} // namespace velquist::ToolText
