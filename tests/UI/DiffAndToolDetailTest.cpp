#include "UI/DiffView.h"
#include "UI/ToolDetailContent.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

using Role = DiffRow::Role;

std::vector<DiffRow> rowsOf(std::vector<std::pair<Role, QString>> list)
{
    std::vector<DiffRow> rows;
    for (auto& [role, text] : list)
        rows.push_back({role, text});
    return rows;
}

std::string numberedLines(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += (i > 1 ? "\n" : "") + std::to_string(i);
    return text;
}

} // namespace

TEST(DiffViewTest, RowsShowTheOldThenTheNewText)
{
    struct Case
    {
        const char* name;
        EditHunk hunk;
        std::vector<DiffRow> expected;
    } cases[] = {
        {"one word each", {"old", "new"}, rowsOf({{Role::removed, "old"}, {Role::added, "new"}})},
        {"pure insertion keeps an empty removed row",
         {"", "a\nb"},
         rowsOf({{Role::removed, " "}, {Role::added, "a"}, {Role::added, "b"}})},
        {"empty new text", {"a", ""}, rowsOf({{Role::removed, "a"}, {Role::added, " "}})},
        {"final line feed gives an empty last row",
         {"a", "b\n"},
         rowsOf({{Role::removed, "a"}, {Role::added, "b"}, {Role::added, " "}})},
        {"CR LF line ends split",
         {"a\r\nb", "c\r\nd\r\n"},
         rowsOf({{Role::removed, "a"},
                 {Role::removed, "b"},
                 {Role::added, "c"},
                 {Role::added, "d"},
                 {Role::added, " "}})},
        {"lone CR splits",
         {"a\rb", "c"},
         rowsOf({{Role::removed, "a"}, {Role::removed, "b"}, {Role::added, "c"}})},
        {"escapes and NUL removed",
         {"\x1b[31mred\x1b[0m", std::string("a\0b", 3)},
         rowsOf({{Role::removed, "red"}, {Role::added, "ab"}})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DiffView::rows(c.hunk), c.expected) << c.name;
    }
}

TEST(DiffViewTest, EachSideShowsAtMostEightLinesAndABoundedRow)
{
    const auto rows = DiffView::rows({numberedLines(20), numberedLines(9)});
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[7].text, "8");
    EXPECT_EQ(rows[7].role, Role::removed);
    EXPECT_EQ(rows[8].text, "1");
    EXPECT_EQ(rows[15].text, "8");

    const auto longLine = DiffView::rows({std::string(4000, 'x'), "y"});
    EXPECT_EQ(std::size_t(longLine[0].text.size()), DiffView::kMaxRowCharacters);
}

TEST(ToolDetailContentTest, PiecesByKindOfCall)
{
    using Kind = ToolDetailPiece::Kind;
    const auto kinds = [](const ToolDetail& detail) {
        std::vector<Kind> result;
        for (const auto& piece : ToolDetailContent::pieces(detail))
            result.push_back(piece.kind);
        return result;
    };
    const std::vector<EditHunk> four(4, EditHunk{"a", "b"});
    AgentInquiry twoQuestions{
        {AgentQuestion{"Which?", {{"A", std::nullopt}, {"B", "the second"}}, std::nullopt, false},
         AgentQuestion{"Other?", {{"X", std::nullopt}}, std::nullopt, false}}};
    struct Case
    {
        const char* name;
        ToolDetail detail;
        std::vector<Kind> expected;
    } cases[] = {
        {"bash", ToolDetail::Bash{"ls", "List", false}, {Kind::well}},
        {"bash in background", ToolDetail::Bash{"ls", std::nullopt, true}, {Kind::well, Kind::caption}},
        {"edit, three hunks",
         ToolDetail::Edit{"/a.c", {{"a", "b"}, {"c", "d"}, {"e", "f"}}},
         {Kind::caption, Kind::diff, Kind::diff, Kind::diff}},
        {"edit, four hunks",
         ToolDetail::Edit{"/a.c", four},
         {Kind::caption, Kind::diff, Kind::diff, Kind::diff, Kind::caption}},
        {"edit, no hunks", ToolDetail::Edit{"/a.c", {}}, {Kind::caption}},
        {"write", ToolDetail::Write{"/a.txt", "x", 1}, {Kind::caption, Kind::well}},
        {"question", ToolDetail::Question{twoQuestions}, {Kind::options}},
        {"plan", ToolDetail::Plan{"# Plan"}, {Kind::well}},
        {"read", ToolDetail::Read{"/a"}, {Kind::caption}},
        {"search with path", ToolDetail::Search{"Search", "TODO", "/src"}, {Kind::caption}},
        {"search without path", ToolDetail::Search{"Search", "TODO", std::nullopt}, {Kind::well}},
        {"web", ToolDetail::Web{"Fetch", "https://a"}, {Kind::caption}},
        {"agent", ToolDetail::Agent{"explorer", "look"}, {Kind::caption}},
        {"mcp without parameters", ToolDetail::Other{"mcp__db__query", "Query", {}}, {Kind::mcpChip}},
        {"mcp with parameters",
         ToolDetail::Other{"mcp__db__query", "Query", {{"sql", "select 1"}}},
         {Kind::mcpChip, Kind::parameters}},
        {"other without parameters", ToolDetail::Other{"Thing", "Thing", {}}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kinds(c.detail), c.expected) << c.name;
    }
}

TEST(ToolDetailContentTest, TextsOfThePieces)
{
    const auto pieces = [](const ToolDetail& detail) { return ToolDetailContent::pieces(detail); };

    const auto bash = pieces(ToolDetail::Bash{"make", std::nullopt, true});
    EXPECT_EQ(bash[0].text, "make");
    EXPECT_EQ(bash[0].heightCap, ToolDetailContent::kCommandWellCap);
    EXPECT_TRUE(bash[0].monospaced);
    EXPECT_EQ(bash[1].text, "Runs in the background");

    const auto edit = pieces(ToolDetail::Edit{"/src/a.c", std::vector<EditHunk>(5, EditHunk{"a", "b"})});
    EXPECT_EQ(edit.front().text, "/src/a.c");
    EXPECT_EQ(edit.back().text, "+2 more changes");

    const auto write = pieces(ToolDetail::Write{"/a.txt", "one", 1});
    EXPECT_EQ(write[0].text, "/a.txt \u00b7 1 lines");
    EXPECT_EQ(write[1].heightCap, ToolDetailContent::kWriteWellCap);

    const auto plan = pieces(ToolDetail::Plan{"text"});
    EXPECT_FALSE(plan[0].monospaced);
    EXPECT_EQ(plan[0].heightCap, ToolDetailContent::kPlanWellCap);

    EXPECT_EQ(pieces(ToolDetail::Agent{"explorer", "look"})[0].text, "subagent: explorer");
    EXPECT_EQ(pieces(ToolDetail::Search{"Find", "*.c", std::nullopt})[0].text, "*.c");

    AgentInquiry inquiry{{AgentQuestion{"Which?", {{"A", std::nullopt}, {"B", "b"}}, std::nullopt, false},
                          AgentQuestion{"Else?", {{"X", std::nullopt}}, std::nullopt, false}}};
    EXPECT_EQ(pieces(ToolDetail::Question{inquiry})[0].options, inquiry.questions[0].options);
    EXPECT_TRUE(pieces(ToolDetail::Question{AgentInquiry{}})[0].options.empty());

    // Stored requests are not clipped again on reading: the lists the view lays out are bounded.
    std::vector<ToolParameter> many(1000, ToolParameter{"k", "v"});
    EXPECT_EQ(pieces(ToolDetail::Other{"T", "T", many})[0].parameters.size(),
              ToolDetailContent::kMaxParameters);
    std::vector<QuestionOption> options(500, QuestionOption{"o", std::nullopt});
    AgentInquiry big{{AgentQuestion{"Q", options, std::nullopt, false}}};
    EXPECT_EQ(pieces(ToolDetail::Question{big})[0].options.size(), ToolDetailContent::kMaxOptions);
}
