#pragma once

#include <QString>
#include <cstddef>
#include <string_view>
#include <vector>

namespace velquist {

// Agent text made safe to lay out in a view. Agents send whatever their tools produce: terminal
// escape sequences, NUL and other control characters, direction overrides that make a command
// read differently from what runs, megabytes in one line, letters under hundreds of combining
// marks. A view asks here first and lays out only what comes back, which is bounded.
namespace DisplayText {

// The lines of a text: split at LF, CR LF and a lone CR, empty pieces kept ("" gives one empty
// line, a final line end gives an empty last line). With `maxLines`, at most that many; `cut` is
// set when lines were left out. The pieces point into `text`.
std::vector<std::string_view> lines(std::string_view text);
std::vector<std::string_view> lines(std::string_view text, std::size_t maxLines, bool* cut = nullptr);

enum class Breaks {
    keep,     // line ends become "\n"
    toSpaces, // every line end becomes one space, for a one-line label
};

// `text` cleaned and cut: escape sequences, control characters (tab and, by `breaks`, line ends
// aside) and direction overrides removed, invalid UTF-8 replaced, runs of combining marks held to
// a few per character, and at most `maxCharacters` user-perceived characters, the last being "…"
// when something was cut. Never splits a character. Linear in the size of a bounded prefix.
QString clean(std::string_view text, std::size_t maxCharacters, Breaks breaks = Breaks::toSpaces);

// The most combining marks kept on one character.
inline constexpr int kMaxMarksPerCharacter = 8;

} // namespace DisplayText
} // namespace velquist
