#include "Core/DisplayText.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace velquist;

TEST(DisplayTextTest, LinesEndAtLfCrLfAndLoneCr)
{
    using Lines = std::vector<std::string_view>;
    struct Case
    {
        std::string text;
        Lines expected;
    } cases[] = {
        {"", {""}},           {"one", {"one"}},           {"a\nb", {"a", "b"}},
        {"a\n", {"a", ""}},   {"a\n\nb", {"a", "", "b"}}, {"a\r\nb\r\n", {"a", "b", ""}},
        {"a\rb", {"a", "b"}}, {"a\r\rb", {"a", "", "b"}}, {"a\n\r\nb", {"a", "", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayText::lines(c.text), c.expected) << c.text;
    }
}

TEST(DisplayTextTest, LinesStopAtTheirBound)
{
    bool cut = false;
    EXPECT_EQ(DisplayText::lines("a\nb\nc", 2, &cut), (std::vector<std::string_view>{"a", "b"}));
    EXPECT_TRUE(cut);
    EXPECT_EQ(DisplayText::lines("a\nb", 2, &cut), (std::vector<std::string_view>{"a", "b"}));
    EXPECT_FALSE(cut);
    // A final line end with no text after it is a cut too: the empty last line is left out.
    EXPECT_EQ(DisplayText::lines("a\nb\n", 2, &cut).size(), 2u);
    EXPECT_TRUE(cut);
}

TEST(DisplayTextTest, CleanRemovesWhatMustNotReachTheScreen)
{
    using Breaks = DisplayText::Breaks;
    struct Case
    {
        const char* name;
        std::string text;
        Breaks breaks;
        QString expected;
    } cases[] = {
        {"plain", "hello", Breaks::toSpaces, "hello"},
        {"colour escapes", "\x1b[1;31mred\x1b[0m", Breaks::toSpaces, "red"},
        {"title escape", "\x1b]0;title\x07text", Breaks::toSpaces, "text"},
        {"NUL and bell", std::string("a\0b\x07", 4), Breaks::toSpaces, "ab"},
        {"tab kept", "a\tb", Breaks::toSpaces, "a\tb"},
        {"line ends to spaces", "a\r\nb\nc\rd", Breaks::toSpaces, "a b c d"},
        {"line ends kept", "a\r\nb\rc", Breaks::keep, "a\nb\nc"},
        {"direction override", "abc\u202Efdp.exe", Breaks::toSpaces, "abcfdp.exe"},
        {"right-to-left text kept", "\u05E9\u05DC\u05D5\u05DD", Breaks::toSpaces,
         QString::fromUtf8("\u05E9\u05DC\u05D5\u05DD")},
        {"invalid UTF-8 replaced",
         "a\xff"
         "b",
         Breaks::toSpaces, QString::fromUtf8("a\uFFFDb")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayText::clean(c.text, 100, c.breaks), c.expected) << c.name;
    }
}

TEST(DisplayTextTest, CleanCutsWholeCharacters)
{
    const QString ellipsis(QChar(0x2026));
    EXPECT_EQ(DisplayText::clean("abcdef", 6), "abcdef");
    EXPECT_EQ(DisplayText::clean("abcdefg", 6), "abcde" + ellipsis);
    EXPECT_EQ(DisplayText::clean("abc", 0), "");
    // An accent stays with its letter, an emoji sequence stays whole.
    EXPECT_EQ(DisplayText::clean("e\u0301e\u0301e\u0301", 2), QString::fromUtf8("e\u0301") + ellipsis);
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(DisplayText::clean(family + family + family, 2), QString::fromStdString(family) + ellipsis);
}

TEST(DisplayTextTest, CleanBoundsHostileText)
{
    // 100 KB on one line, a letter under ten thousand marks, and a flood of escapes.
    const std::string huge(100 * 1024, 'x');
    const QString cut = DisplayText::clean(huge, 500);
    EXPECT_EQ(cut.size(), 500);
    EXPECT_EQ(cut.back(), QChar(0x2026));

    std::string zalgo = "a";
    for (int i = 0; i < 10000; ++i)
        zalgo += "\u0301";
    const QString held = "a" + QString(DisplayText::kMaxMarksPerCharacter, QChar(0x0301));
    EXPECT_EQ(DisplayText::clean(zalgo.substr(0, 1 + 2 * 20) + "b", 10), held + "b");
    // The full flood is longer than the part of it that could be shown: cut, and marked so.
    EXPECT_EQ(DisplayText::clean(zalgo + "b", 10), held + QChar(0x2026));

    std::string escapes;
    for (int i = 0; i < 20000; ++i)
        escapes += "\x1b[0m";
    EXPECT_EQ(DisplayText::clean(escapes + "end", 50), QString(QChar(0x2026)));
}
