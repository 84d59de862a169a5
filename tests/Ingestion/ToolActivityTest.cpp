#include "Ingestion/ToolActivity.h"

#include <gtest/gtest.h>
#include <string>

using namespace velquist;
using nlohmann::json;

TEST(ToolActivityTest, DescribesEachToolFamily)
{
    const std::string longCommand(100, 'c');
    struct Case
    {
        std::string tool;
        json input;
        std::string text;
    } cases[] = {
        {"Bash", {{"command", "npm test"}}, "$ npm test"},
        {"Bash", {{"command", "npm test"}, {"description", "Run the tests"}}, "Run the tests"},
        {"Bash", {{"command", "npm test"}, {"description", 5}}, "$ npm test"},
        {"Bash", json::object(), "Bash"},
        {"Bash", nullptr, "Bash"},
        {"Bash", {{"command", longCommand}}, "$ " + longCommand.substr(0, 61) + "\u2026"},
        {"Bash", {{"command", std::string(62, 'c')}}, "$ " + std::string(62, 'c')},
        {"Bash", {{"command", "make\nmake install"}}, "$ make make install"},
        {"Shell", {{"command", "ls"}, {"description", "ignored"}}, "$ ls"},
        {"shell", {{"command", "ls"}}, "shell"},
        {"exec_command", {{"cmd", "a"}, {"command", "b"}}, "$ a"},
        {"local_shell", {{"command", "b"}}, "$ b"},
        {"Read", {{"path", "/a/b/notes.md"}}, "Read notes.md"},
        {"read_file", {{"path", "/a/b/notes.md"}}, "read_file"},
        {"read_file", {{"absolute_path", "/x/y.txt"}, {"file_path", "/z.txt"}}, "Read y.txt"},
        {"list", {{"path", "/a/dir/"}}, "Read dir"},
        {"MultiEdit", {{"file_path", "/a/b/c.txt"}}, "Edit c.txt"},
        {"edit", {{"filePath", "src/x.ts"}}, "Edit x.ts"},
        {"NotebookEdit", {{"file_path", "/a/n.ipynb"}}, "NotebookEdit"},
        {"NotebookEdit", {{"notebook_path", "/a/n.ipynb"}}, "Edit n.ipynb"},
        {"write_file", {{"file_path", "/a/out.txt"}}, "Write out.txt"},
        {"Grep", {{"pattern", "TODO"}}, "Search TODO"},
        {"glob", {{"pattern", "*.txt"}}, "Find *.txt"},
        {"WebFetch", {{"url", "https://user@example.com:8443/path?q=1"}}, "Fetch example.com"},
        {"webfetch", {{"url", "not a url"}}, "webfetch"},
        {"WebFetch", {{"url", "file:///tmp/x"}}, "WebFetch"},
        {"web_fetch", {{"prompt", "summarise"}, {"url", "https://example.com"}}, "Fetch summarise"},
        {"web_fetch", {{"url", "https://example.com"}}, "Fetch https://example.com"},
        {"WebSearch", {{"query", "tail recursion"}}, "Search web: tail recursion"},
        {"Task", {{"description", "review the patch"}}, "Agent: review the patch"},
        {"Agent", {{"prompt", "x"}}, "Agent"},
        {"TodoWrite", json::object(), "Updating tasks"},
        {"TaskUpdate", {{"x", 1}}, "Updating tasks"},
        {"ExitPlanMode", json::object(), "Plan ready for review"},
        {"AskUserQuestion", {{"questions", {{{"question", "Which\nway?"}}}}}, "Which way?"},
        {"AskUserQuestion", json::object(), "Asking a question"},
        {"AskUserQuestion", {{"questions", json::array()}}, "Asking a question"},
        {"request_user_input", {{"questions", {{{"question", "A?"}}, "text"}}}, "Asking a question"},
        {"request_user_input", {{"questions", {{{"header", "H"}}}}}, "Asking a question"},
        {"Skill", {{"skill", std::string(80, 's')}}, "Skill: " + std::string(80, 's')},
        {"mcp__tracker__create_issue", {{"title", "x"}}, "tracker \u00B7 create issue"},
        {"BASH", {{"command", "ls"}}, "BASH"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolActivity::describe(c.tool, c.input), c.text) << c.tool << " " << c.input.dump();
    }
}

TEST(ToolActivityTest, LongQuestionIsJoinedAndCut)
{
    const std::string first(40, 'a');
    const std::string second(40, 'b');
    const json input = {{"questions", {{{"question", first + "\n" + second}}}}};
    EXPECT_EQ(ToolActivity::describe("AskUserQuestion", input),
              first + " " + std::string(22, 'b') + "\u2026");
}

TEST(ToolActivityTest, MultibyteCommandIsCutOnCharacters)
{
    std::string command;
    for (int i = 0; i < 70; ++i)
        command += "\u65E5"; // three bytes each
    std::string expected = "$ ";
    for (int i = 0; i < 61; ++i)
        expected += "\u65E5";
    EXPECT_EQ(ToolActivity::describe("Bash", json{{"command", command}}), expected + "\u2026");
}
