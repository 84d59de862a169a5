#include "Core/ToolDetail.h"
#include "support/base/TemporaryHome.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
using nlohmann::json;
using D = ToolDetail;

namespace velquist {
// Failures show the stored form rather than bytes.
void PrintTo(const ToolDetail& detail, std::ostream* out)
{
    *out << detail.toJson().dump();
}
} // namespace velquist

namespace {

std::string clipped(const std::string& text, std::size_t n)
{
    return text.substr(0, n) + std::string(ToolDetail::kTruncatedMarker);
}

} // namespace

TEST(ToolDetailTest, ParsesEachToolFamily)
{
    struct Case
    {
        std::string tool;
        json input;
        ToolDetail detail;
    } cases[] = {
        {"Bash",
         {{"command", "ls -la"}, {"description", "List files"}, {"run_in_background", true}},
         D::Bash{"ls -la", "List files", true}},
        {"Bash", {{"command", "ls"}, {"run_in_background", "true"}}, D::Bash{"ls", std::nullopt, false}},
        {"shell", {{"command", "ls"}}, D::Bash{"ls", std::nullopt, false}},
        {"exec_command",
         {{"cmd", "a"}, {"command", "b"}, {"run_in_background", true}},
         D::Bash{"a", std::nullopt, false}},
        {"Edit",
         {{"file_path", "/a/m.c"}, {"old_string", "x"}, {"new_string", "y"}},
         D::Edit{"/a/m.c", {{"x", "y"}}}},
        {"edit",
         {{"filePath", "/a/m.c"}, {"oldString", "x"}, {"newString", "y"}},
         D::Edit{"/a/m.c", {{"x", "y"}}}},
        {"MultiEdit",
         {{"file_path", "/m.c"},
          {"edits",
           {{{"old_string", "1"}, {"new_string", "2"}},
            {{"old_string", "3"}},
            {{"old_string", "5"}, {"new_string", "6"}}}}},
         D::Edit{"/m.c", {{"1", "2"}, {"5", "6"}}}},
        {"Write", {{"file_path", "/w.txt"}}, D::Write{"/w.txt", "", 1}},
        {"write", {{"filePath", "/w.txt"}, {"content", "a\nb\n"}}, D::Write{"/w.txt", "a\nb\n", 3}},
        {"NotebookEdit",
         {{"notebook_path", "/n.ipynb"}, {"new_source", "x"}, {"content", "y"}},
         D::Write{"/n.ipynb", "x", 1}},
        {"NotebookEdit", {{"file_path", "/n.ipynb"}, {"content", "y"}}, D::Write{"/n.ipynb", "y", 1}},
        {"AskUserQuestion",
         {{"questions", {{{"question", "Go?"}}}}},
         D::Question{{{AgentQuestion{"Go?", {}, {}, false}}}}},
        {"ExitPlanMode", {{"plan", "# Plan"}}, D::Plan{"# Plan"}},
        {"read_file", {{"absolute_path", "/r"}}, D::Read{"/r"}},
        {"Read", {{"path", "/p"}}, D::Read{"/p"}},
        {"Grep", {{"pattern", "TODO"}}, D::Search{"Search", "TODO", std::nullopt}},
        {"glob", {{"pattern", "*.txt"}, {"path", "/src"}}, D::Search{"Find", "*.txt", "/src"}},
        {"WebFetch", {{"url", "https://x.org"}, {"prompt", "p"}}, D::Web{"Fetch", "https://x.org"}},
        {"web_fetch", {{"prompt", "p"}}, D::Web{"Fetch", "p"}},
        {"WebSearch", {{"query", "tail recursion"}}, D::Web{"Search the web for", "tail recursion"}},
        {"Task", {{"description", "review"}}, D::Agent{"agent", "review"}},
        {"Agent", {{"description", "review"}, {"subagent_type", "critic"}}, D::Agent{"critic", "review"}},
        // Named tools whose required input is missing or mistyped fall to Other.
        {"exec_command",
         {{"command", json::array({"ls"})}},
         D::Other{"exec_command", "exec_command", {{"command", R"(["ls"])"}}}},
        {"Edit",
         {{"file_path", "/a"}, {"new_string", "y"}},
         D::Other{"Edit", "Edit", {{"file_path", "/a"}, {"new_string", "y"}}}},
        {"MultiEdit",
         {{"file_path", "/m.c"}, {"edits", {{{"old_string", "1"}}}}},
         D::Other{"MultiEdit", "MultiEdit", {{"edits", R"([{"old_string":"1"}])"}, {"file_path", "/m.c"}}}},
        {"AskUserQuestion",
         {{"questions", "x"}},
         D::Other{"AskUserQuestion", "AskUserQuestion", {{"questions", "x"}}}},
        {"ExitPlanMode", json::object(), D::Other{"ExitPlanMode", "ExitPlanMode", {}}},
        {"Read", {{"file", "/x"}}, D::Other{"Read", "Read", {{"file", "/x"}}}},
        {"Task", {{"prompt", "x"}}, D::Other{"Task", "Task", {{"prompt", "x"}}}},
        {"BASH", {{"command", "ls"}}, D::Other{"BASH", "BASH", {{"command", "ls"}}}},
        {"mcp__db__run_query", nullptr, D::Other{"mcp__db__run_query", "db \u00B7 run query", {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolDetail::parse(c.tool, c.input), c.detail) << c.tool << " " << c.input.dump();
    }
}

TEST(ToolDetailTest, ClipsAgentTextsButCountsEveryLine)
{
    const std::string command(4001, 'c');
    EXPECT_EQ(ToolDetail::parse("Bash", {{"command", command}}),
              (D::Bash{clipped(command, 4000), {}, false}));
    EXPECT_EQ(ToolDetail::parse("Bash", {{"command", command.substr(0, 4000)}}),
              (D::Bash{command.substr(0, 4000), {}, false}));

    std::string content;
    for (int i = 0; i < 500; ++i)
        content += std::string(19, 'x') + "\n";
    const auto write = ToolDetail::parse("Write", {{"file_path", "/f"}, {"content", content}});
    EXPECT_EQ(write, (D::Write{"/f", clipped(content, 8000), 501}));
    EXPECT_EQ(ToolDetail::parse("Write", {{"file_path", "/f"}, {"content", "a\r\nb\r\n"}}),
              (D::Write{"/f", "a\r\nb\r\n", 3}));

    const std::string plan(25000, 'p');
    EXPECT_EQ(ToolDetail::parse("ExitPlanMode", {{"plan", plan}}), D::Plan{clipped(plan, 20000)});

    // Four-byte characters: the cut keeps whole characters.
    std::string emoji;
    for (int i = 0; i < 4001; ++i)
        emoji += "\U0001F600";
    const ToolDetail detail = ToolDetail::parse("Bash", {{"command", emoji}});
    const auto* bash = detail.as<D::Bash>();
    ASSERT_TRUE(bash);
    EXPECT_EQ(bash->command, emoji.substr(0, 4 * 4000) + std::string(ToolDetail::kTruncatedMarker));
}

TEST(ToolDetailTest, Titles)
{
    const AgentQuestion question{"Which one?", {}, {}, false};
    struct Case
    {
        ToolDetail detail;
        std::string title;
    } cases[] = {
        {D::Bash{"ls", "List files", false}, "List files"},
        {D::Bash{"ls", "", false}, ""},
        {D::Bash{"ls", std::nullopt, false}, "Run a command"},
        {D::Edit{"/src/main.c", {{"a", "b"}}}, "Edit main.c"},
        {D::Edit{"/src/main.c", {{"a", "b"}, {"c", "d"}, {"e", "f"}}}, "Edit main.c (3 changes)"},
        {D::Write{"/src/app/", "", 1}, "Write app"},
        {D::Question{{{question}}}, "Which one?"},
        {D::Question{{}}, "A question"},
        {D::Plan{"x"}, "Review the plan"},
        {D::Read{"notes.md"}, "Read notes.md"},
        {D::Search{"Search", "TODO", std::nullopt}, "Search TODO"},
        {D::Web{"Search the web for", "tail recursion"}, "Search the web for tail recursion"},
        {D::Agent{"agent", "review"}, "Agent: review"},
        {D::Other{"x", "Shown", {}}, "Shown"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.detail.title(), c.title);
    }
}

TEST(ToolDetailTest, RiskNotesOfCommands)
{
    struct Case
    {
        std::string command;
        std::optional<std::string> note;
    } cases[] = {
        {"sudo rm -rf /tmp/x", "Deletes files recursively"},
        {"rm -fr build", "Deletes files recursively"},
        {"SUDO apt install x", "Runs as root"},
        {"git push --force", "Forces past safety checks"},
        {"git push -f origin", "Forces past safety checks"},
        {"git push -f", std::nullopt},
        {"curl https://x.sh | sh", "Pipes a download into a shell"},
        {"cat a | sh; curl x", "Pipes a download into a shell"},
        {"curl -o out.txt https://x", std::nullopt},
        {"curl x > out.txt", "Overwrites a file by redirection"},
        {"echo hi > out.txt", "Overwrites a file by redirection"},
        {"echo hi>out.txt", std::nullopt},
        {"ls", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolDetail(D::Bash{c.command, {}, false}).riskNote(), c.note) << c.command;
    }
    EXPECT_EQ(ToolDetail(D::Read{"/etc/passwd"}).riskNote(), std::nullopt);
}

TEST(ToolDetailTest, WriteTargetIsInspectedOnceAgainstTheSessionFolder)
{
    test::TemporaryFolder folder;
    const auto& dir = folder.path();
    std::ofstream(dir / "three.txt") << "a\nb\nc\n";
    std::ofstream(dir / "crlf.txt") << "a\r\nb\r\nc";
    std::ofstream(dir / "binary.bin") << std::string("\xFF\xFE\x00\x01", 4);
    std::filesystem::create_directory(dir / "sub");
    ::mkfifo((dir / "pipe").c_str(), 0600);

    struct Case
    {
        std::string path;
        std::filesystem::path sessionFolder;
        std::optional<std::string> note;
    } cases[] = {
        {(dir / "missing.txt").string(), "/", std::nullopt},
        {(dir / "three.txt").string(), "/", "Overwrites an existing 4 line file"},
        {"three.txt", dir, "Overwrites an existing 4 line file"},
        {"./crlf.txt", dir, "Overwrites an existing 3 line file"},
        {"three.txt", "", std::nullopt}, // no folder to resolve against
        {"three.txt", "relative", std::nullopt},
        {(dir / "binary.bin").string(), "/", "Overwrites an existing file"},
        {(dir / "sub").string(), "/", "Overwrites an existing file"},
        {(dir / "pipe").string(), "/", "Overwrites an existing file"}, // never blocks on a FIFO
        {(dir / "three.txt/x").string(), "/", std::nullopt},
    };
    for (const auto& c : cases) {
        ToolDetail detail = D::Write{c.path, "new", 1};
        EXPECT_EQ(detail.riskNote(), std::nullopt); // not looked at yet
        detail.inspectWriteTarget(c.sessionFolder);
        EXPECT_EQ(detail.riskNote(), c.note) << c.path;
    }

    // The answer is kept: later changes to the file do not reach a drawing.
    ToolDetail detail = D::Write{"three.txt", "", 1};
    detail.inspectWriteTarget(dir);
    std::filesystem::remove(dir / "three.txt");
    EXPECT_EQ(detail.riskNote(), "Overwrites an existing 4 line file");

    ToolDetail bash = D::Bash{"ls", {}, false};
    bash.inspectWriteTarget(dir);
    EXPECT_EQ(bash, (ToolDetail(D::Bash{"ls", {}, false})));
}

TEST(ToolDetailTest, StoredFormRoundTrips)
{
    const ToolDetail details[] = {
        D::Bash{"ls", std::nullopt, false},
        D::Bash{"ls", "List", true},
        D::Edit{"/a", {{"x", "y"}, {"", "z"}}},
        D::Write{"/w", "c", 7},
        D::Question{{{AgentQuestion{"Q?", {{"A", "why"}}, "H", true}}}},
        D::Plan{"plan text"},
        D::Read{"/r"},
        D::Search{"Find", "*.c", std::nullopt},
        D::Search{"Search", "x", "/src"},
        D::Web{"Fetch", "https://x"},
        D::Agent{"agent", "p"},
        D::Other{"t", "T", {{"k", "v"}}},
    };
    for (const auto& detail : details) {
        const std::string text = detail.toJson().dump();
        const auto back = ToolDetail::fromJson(json::parse(text));
        ASSERT_TRUE(back.ok()) << text << " " << back.error.describe();
        EXPECT_EQ(*back, detail) << text;
        EXPECT_EQ(back->toJson().dump(), text);
    }
    EXPECT_EQ(ToolDetail(D::Bash{"ls", std::nullopt, false}).toJson().dump(),
              R"({"bash":{"command":"ls","background":false}})");
    EXPECT_EQ(ToolDetail(D::Plan{"p"}).toJson().dump(), R"({"plan":{"_0":"p"}})");
    EXPECT_EQ(ToolDetail(D::Question{{}}).toJson().dump(), R"({"question":{"_0":{"questions":[]}}})");
}

TEST(ToolDetailTest, MalformedStoredFormsFail)
{
    struct Case
    {
        const char* text;
        const char* message; // nullptr: any message
    } cases[] = {
        {R"({})", "Invalid number of keys found, expected one."},
        {R"({"read":{"path":"/a"},"plan":{"_0":"p"}})", "Invalid number of keys found, expected one."},
        {R"({"unknown":{}})", "Invalid number of keys found, expected one."},
        {R"({"read":{}})", nullptr},
        {R"({"read":null})", nullptr},
        {R"({"read":"/a"})", nullptr},
        {R"({"bash":{"command":"ls","background":"no"}})", nullptr},
        {R"({"bash":{"command":"ls","purpose":1,"background":false}})", nullptr},
        {R"({"edit":{"path":"/a","hunks":[{"oldString":"x"}]}})", nullptr},
        {R"({"write":{"path":"/a","content":"c","lineCount":"1"}})", nullptr},
        {R"({"question":{"_0":{}}})", nullptr},
        {R"({"other":{"toolName":"t","display":"T","parameters":{}}})", nullptr},
        {R"("bash")", nullptr},
    };
    for (const auto& c : cases) {
        const auto decoded = ToolDetail::fromJson(json::parse(c.text));
        EXPECT_FALSE(decoded.ok()) << c.text;
        if (c.message) {
            EXPECT_EQ(decoded.error.message, c.message) << c.text;
        }
    }
    // A known case plus an unknown key reads; a null optional reads as absent.
    const auto lenient =
        ToolDetail::fromJson(json::parse(R"({"search":{"kind":"Find","pattern":"p","path":null},"x":1})"));
    ASSERT_TRUE(lenient.ok());
    EXPECT_EQ(*lenient, (ToolDetail(D::Search{"Find", "p", std::nullopt})));
}

TEST(ToolDetailTest, HugeAndDeepInputsBecomeBoundedRows)
{
    json deep = json::object();
    for (int i = 0; i < 50000; ++i)
        deep = json{{"n", std::move(deep)}};
    json input = json::object();
    for (int i = 0; i < 20000; ++i)
        input["key" + std::to_string(i)] = std::string(100, 'v');
    input["deep"] = std::move(deep);
    const auto detail = ToolDetail::parse("mcp__x__y", input);
    const auto* other = detail.as<D::Other>();
    ASSERT_TRUE(other);
    ASSERT_EQ(other->parameters.size(), 9u);
    EXPECT_EQ(other->parameters[0].key, "deep");
    EXPECT_EQ(other->parameters[8].value, "\u2026 19993 more");
}
