#pragma once

#include <string>
#include <vector>

namespace velquist::test {

// Texts an agent may send that strain a view: megabytes on a line, thousands of lines, escapes and
// NUL, direction overrides, stacked combining marks, mixed line ends.
inline std::vector<std::string> hostileTexts()
{
    std::string manyLines;
    for (int i = 0; i < 2000; ++i)
        manyLines += "line " + std::to_string(i) + "\n";
    std::string zalgo = "z";
    for (int i = 0; i < 5000; ++i)
        zalgo += "\u0336";
    return {
        std::string(100 * 1024, 's'),
        std::string(4000, 'w'),
        manyLines,
        "\x1b[1;31mred\x1b[0m \x1b]0;title\x07" + std::string("nul\0here", 8),
        "\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627 \u202Egnp.exe",
        zalgo,
        "a\r\nb\rc\nd",
    };
}

} // namespace velquist::test
