#include "Core/ToolText.h"

#include <gtest/gtest.h>
#include <string>

using namespace velquist;

TEST(ToolTextTest, TruncatesByCharactersNeverInsideOne)
{
    const std::string e = "\u00E9";           // é: two bytes
    const std::string decomposed = "e\u0301"; // e and a combining accent: one character
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467"; // one emoji sequence
    const std::string flag = "\U0001F1EB\U0001F1F7";                         // one regional-indicator pair
    struct Case
    {
        std::string text;
        std::size_t max;
        std::size_t kept;
        std::string expected;
    } cases[] = {
        {"abcdef", 6, 5, "abcdef"},
        {"abcdefg", 6, 5, "abcde~"},
        {"abc", 0, 0, "~"},
        {"", 3, 3, ""},
        // Byte count over the bound but character count within it: unchanged.
        {e + e + e, 3, 2, e + e + e},
        {e + e + e + e, 3, 2, e + e + "~"},
        {decomposed + decomposed + decomposed, 2, 2, decomposed + decomposed + "~"},
        {decomposed + decomposed, 2, 1, decomposed + decomposed},
        {family + family + "x", 2, 2, family + family + "~"},
        {family + "x", 2, 1, family + "x"},
        {flag + flag + flag, 2, 1, flag + "~"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolText::truncated(c.text, c.max, c.kept, "~"), c.expected) << c.text;
    }
}

TEST(ToolTextTest, TruncatesLongTextsWhereCharactersAreManyBytes)
{
    // Characters far wider than the first window the cut looks at.
    std::string wide;
    for (int i = 0; i < 300; ++i)
        wide += "a\u0301\u0302\u0303\u0304\u0305\u0306\u0307";
    const std::string cut = ToolText::truncated(wide, 250, 250, "~");
    EXPECT_EQ(cut, wide.substr(0, wide.size() / 300 * 250) + "~");
    EXPECT_EQ(ToolText::truncated(wide, 300, 300, "~"), wide);
}

TEST(ToolTextTest, ActivityLineJoinsLinesAndCutsAt64)
{
    EXPECT_EQ(ToolText::activityLine("make\nmake install"), "make make install");
    EXPECT_EQ(ToolText::activityLine("a\r\nb\rc\td"), "a b\rc\td");
    EXPECT_EQ(ToolText::activityLine(std::string(64, 'x')), std::string(64, 'x'));
    EXPECT_EQ(ToolText::activityLine(std::string(65, 'x')), std::string(63, 'x') + "\u2026");
    std::string accents;
    for (int i = 0; i < 70; ++i)
        accents += "\u00E9";
    std::string expected;
    for (int i = 0; i < 63; ++i)
        expected += "\u00E9";
    EXPECT_EQ(ToolText::activityLine(accents), expected + "\u2026");
}

TEST(ToolTextTest, CountsLinesAtEveryLineBreak)
{
    struct Case
    {
        std::string text;
        std::int64_t lines;
    } cases[] = {{"", 1}, {"a", 1}, {"a\nb\n", 3}, {"a\r\nb\r\nc\r\n", 4}, {"a\rb", 1}, {"\n\n", 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToolText::lineCount(c.text), c.lines) << c.text;
    }
}

TEST(ToolTextTest, FileNameIsTheLastPathComponent)
{
    struct Case
    {
        std::string path;
        std::string name;
    } cases[] = {{"/src/app/main.c", "main.c"},
                 {"/src/app/", "app"},
                 {"main.c", "main.c"},
                 {"/", "/"},
                 {"", ""},
                 {"a//b//", "b"},
                 {"relative/x.txt", "x.txt"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToolText::fileName(c.path), c.name) << c.path;
    }
}

TEST(ToolTextTest, RecognisesValidUtf8)
{
    EXPECT_TRUE(ToolText::isValidUtf8("plain \u00E9 \U0001F600"));
    EXPECT_FALSE(ToolText::isValidUtf8("\xC3"));         // cut sequence
    EXPECT_FALSE(ToolText::isValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(ToolText::isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(ToolText::isValidUtf8("\xFF"));
}
