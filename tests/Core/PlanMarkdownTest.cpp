#include "Core/PlanMarkdown.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace velquist;

namespace {

PlanBlock heading(int level, std::string text)
{
    return {PlanBlock::Heading{level, std::move(text)}};
}
PlanBlock bullet(std::string text)
{
    return {PlanBlock::ListItem{PlanListMarker::bullet(), std::move(text)}};
}
PlanBlock numbered(std::string run, std::string text)
{
    return {PlanBlock::ListItem{PlanListMarker::number(std::move(run)), std::move(text)}};
}
PlanBlock paragraph(std::vector<std::string> lines)
{
    return {PlanBlock::Paragraph{std::move(lines)}};
}
PlanInlineRun textRun(std::string text)
{
    PlanInlineRun run;
    run.text = std::move(text);
    return run;
}
PlanBlock code(std::vector<std::string> lines)
{
    return {PlanBlock::Code{std::move(lines)}};
}

} // namespace

TEST(PlanMarkdownTest, BlocksFollowTheLineGrammar)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::vector<PlanBlock> expected;
    } cases[] = {
        {"empty", "", {}},
        {"blank lines only", "\n  \n\t\n", {}},
        {"lone fence", "```", {}},
        {"fence then closing fence", "```\n```", {}},
        {"fenced code keeps indentation, drops language",
         "```swift\nlet a = 1\n    return a\n```",
         {code({"let a = 1", "    return a"})}},
        {"unclosed fence runs to the end", "text\n```\nx\n\ny", {paragraph({"text"}), code({"x", "", "y"})}},
        {"indented and longer fences", "  ````\n# not a heading\n  ```", {code({"# not a heading"})}},
        {"paragraph keeps lines as written",
         "first line\n  second line  ",
         {paragraph({"first line", "  second line  "})}},
        {"items end a paragraph",
         "Intro\n- one\n* two",
         {paragraph({"Intro"}), bullet("one"), bullet("two")}},
        {"blank line splits paragraphs", "a\n\nb", {paragraph({"a"}), paragraph({"b"})}},
        {"no continuation after an item", "- item\nmore", {bullet("item"), paragraph({"more"})}},
        {"heading trimmed", "##   Word   ", {heading(2, "Word")}},
        {"heading levels", "# One\n###### Six", {heading(1, "One"), heading(6, "Six")}},
        {"hash without space", "#word", {paragraph({"#word"})}},
        {"seven hashes", "####### seven", {paragraph({"####### seven"})}},
        {"lone hash", "#", {paragraph({"#"})}},
        {"hash and blanks", "#   ", {paragraph({"#   "})}},
        {"hash and tab", "#\tword", {paragraph({"#\tword"})}},
        {"heading after paragraph", "text\n# Title", {paragraph({"text"}), heading(1, "Title")}},
        {"dash without space", "-word", {paragraph({"-word"})}},
        {"lone dash", "-", {paragraph({"-"})}},
        {"dash and blanks", "-   ", {paragraph({"-   "})}},
        {"asterisk item", "* word", {bullet("word")}},
        {"bold opener is text", "**bold** text", {paragraph({"**bold** text"})}},
        {"plus is not a bullet", "+ item", {paragraph({"+ item"})}},
        {"bullet character is not a bullet", "\u2022 item", {paragraph({"\u2022 item"})}},
        {"numbered", "12. Twelve", {numbered("12", "Twelve")}},
        {"numbered item trimmed", "  3.   spaced  ", {numbered("3", "spaced")}},
        {"decimal number", "1.5 litres", {paragraph({"1.5 litres"})}},
        {"closing parenthesis", "1) first", {paragraph({"1) first"})}},
        {"number without space", "1.first", {paragraph({"1.first"})}},
        {"full-width digit", "\uFF11. one", {numbered("\uFF11", "one")}},
        {"arabic-indic digits", "\u0661\u0662. twelve", {numbered("\u0661\u0662", "twelve")}},
        {"crlf line ends",
         "# Title\r\n- a\r\n\r\ntext\r\n",
         {heading(1, "Title"), bullet("a"), paragraph({"text"})}},
        {"lone cr line ends", "a\rb", {paragraph({"a", "b"})}},
        {"no-break space is a blank", "\u00A0- item", {bullet("item")}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlanMarkdown::blocks(c.text), c.expected) << c.name;
    }
}

TEST(PlanMarkdownTest, LargePlansParseIntoOneBlockPerStep)
{
    std::string plan;
    for (int i = 0; i < 2000; ++i)
        plan += "- step " + std::to_string(i) + " with **bold** and `code`\n";
    EXPECT_EQ(PlanMarkdown::blocks(plan).size(), 2000u);
}

TEST(PlanMarkdownTest, InlineRunsStyleMarkupAndKeepTheRest)
{
    const auto plain = [](std::string text) { return textRun(std::move(text)); };
    const auto strong = [](std::string text) {
        PlanInlineRun run = textRun(std::move(text));
        run.strong = true;
        return run;
    };
    const auto emphasis = [](std::string text) {
        PlanInlineRun run = textRun(std::move(text));
        run.emphasis = true;
        return run;
    };
    const auto codeRun = [](std::string text) {
        PlanInlineRun run = textRun(std::move(text));
        run.code = true;
        return run;
    };
    PlanInlineRun struck = textRun("old");
    struck.strikethrough = true;
    PlanInlineRun link = textRun("docs");
    link.link = "https://example.org/a";

    struct Case
    {
        std::string text;
        std::vector<PlanInlineRun> expected;
    } cases[] = {
        {"", {}},
        {"plain words", {plain("plain words")}},
        {"use **bold** and `x`", {plain("use "), strong("bold"), plain(" and "), codeRun("x")}},
        {"# not a heading", {plain("# not a heading")}},
        {"  kept  blanks ", {plain("  kept  blanks ")}},
        {"*it* _em_", {emphasis("it"), plain(" "), emphasis("em")}},
        {"snake_case_name", {plain("snake_case_name")}},
        {"~~old~~", {struck}},
        {"see [docs](https://example.org/a)", {plain("see "), link}},
        {"`**not bold**`", {codeRun("**not bold**")}},
        {"\\*literal\\*", {plain("*literal*")}},
        {"unclosed **bold", {plain("unclosed **bold")}},
        {"2 * 3 * 4", {plain("2 * 3 * 4")}},
        {"``a ` b``", {codeRun("a ` b")}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlanMarkdown::inlineRuns(c.text), c.expected) << c.text;
    }
}

TEST(PlanMarkdownTest, InlineRunsOfHostileLinesStayBounded)
{
    const std::vector<std::string> hostile = {
        std::string(20000, '*'),
        std::string(20000, '['),
        std::string(10000, '`') + "x",
        std::string(10000, '_') + "a",
        [] {
            std::string s;
            for (int i = 0; i < 5000; ++i)
                s += "**a ";
            return s;
        }(),
    };
    for (const auto& text : hostile) {
        const auto runs = PlanMarkdown::inlineRuns(text);
        std::string joined;
        for (const auto& run : runs)
            joined += run.text;
        // Markers that pair up are not text; everything else is kept.
        EXPECT_GT(joined.size(), 0u);
        EXPECT_LE(joined.size(), text.size());
    }
}
