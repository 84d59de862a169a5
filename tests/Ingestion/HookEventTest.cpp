#include "Ingestion/HookEvent.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace velquist;
using nlohmann::json;
using Name = HookEvent::Name;

namespace {

std::optional<HookEvent> parse(const json& payload, const json& meta = nullptr)
{
    json request{{"payload", payload}};
    if (!meta.is_null())
        request["meta"] = meta;
    return HookEvent::parse(request.dump());
}

json payload(std::string name, json extra = json::object())
{
    extra["hook_event_name"] = std::move(name);
    extra["session_id"] = "abc";
    return extra;
}

} // namespace

TEST(HookEventTest, CanonicalNamesFollowEachEnginesVocabulary)
{
    struct Case
    {
        const char* engine;
        const char* raw;
        std::optional<Name> expected;
    };
    const Case cases[] = {
        {"cursor", "sessionStart", Name::sessionStart},
        {"cursor", "beforeShellExecution", Name::permissionRequest},
        {"cursor", "beforeMCPExecution", Name::permissionRequest},
        {"cursor", "stop", Name::stop},
        {"cursor", "Stop", std::nullopt},
        {"cursor", "PermissionRequest", std::nullopt},
        {"gemini", "BeforeTool", Name::permissionRequest},
        {"gemini", "AfterTool", Name::postToolUse},
        {"gemini", "PreToolUse", std::nullopt},
        {"gemini", "Stop", std::nullopt},
        {"gemini", "Notification", Name::notification},
        {"qwen", "PreToolUse", Name::preToolUse},
        {"qwen", "PostToolUse", Name::postToolUse},
        {"qwen", "PermissionRequest", Name::permissionRequest},
        {"qwen", "SubagentStart", std::nullopt},
        {"claude", "PreToolUse", Name::preToolUse},
        {"claude", "PermissionRequest", Name::permissionRequest},
        {"claude", "SubagentStop", Name::subagentStop},
        {"claude", "stop", std::nullopt},
        {"codex", "UserPromptSubmit", Name::userPromptSubmit},
        {"Cursor", "SessionEnd", Name::sessionEnd}, // engines match exactly: not Cursor's table
        {"", "Notification", Name::notification},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.engine) + " " + c.raw);
        EXPECT_EQ(HookEvent::canonical(c.engine, c.raw), c.expected);
    }
    EXPECT_EQ(HookEvent::rawValue(Name::permissionRequest), "PermissionRequest");
    EXPECT_EQ(HookEvent::rawValue(Name::subagentStart), "SubagentStart");
}

TEST(HookEventTest, MinimalRequestTakesTheDefaults)
{
    const auto event = parse(payload("Stop"));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->name, Name::stop);
    EXPECT_EQ(event->sessionID, "abc");
    EXPECT_EQ(event->engine, "claude");
    EXPECT_TRUE(event->ancestorPIDs.empty());
    EXPECT_TRUE(event->terminalEnv.empty());
    EXPECT_FALSE(event->decisionID);
    EXPECT_FALSE(event->toolName);
    EXPECT_FALSE(event->activity);
    EXPECT_FALSE(event->tool);
    EXPECT_FALSE(event->cwd);

    EXPECT_FALSE(parse(payload("Stop"), {{"engine", "cursor"}}));
    const auto cursor = parse(payload("stop"), {{"engine", "cursor"}});
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->name, Name::stop);
    EXPECT_EQ(cursor->engine, "cursor");
}

TEST(HookEventTest, UnusableRequestsGiveNothing)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string cases[] = {
        "",
        "not json",
        "[1, 2]",
        R"({"payload": "Stop"})",
        R"({"meta": {}})",
        R"({"payload": {"session_id": "abc"}})",
        R"({"payload": {"hook_event_name": "Stop"}})",
        R"({"payload": {"hook_event_name": 7, "session_id": "abc"}})",
        R"({"payload": {"hook_event_name": "Stop", "session_id": null}})",
        R"({"payload": {"hook_event_name": "Bogus", "session_id": "abc"}})",
        R"({"payload": {"hook_event_name": "Stop", "session_id": "abc", "x": )" + deep + "}}",
        "{\"payload\": {\"hook_event_name\": \"Stop\", \"session_id\": \"a\xff\"}}",
        R"({"payload": {"hook_event_name": "Stop", "session_id": "abc"})",
    };
    for (const auto& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 80));
        EXPECT_FALSE(HookEvent::parse(bytes));
    }
}

TEST(HookEventTest, MetaFieldsAreReadAndMistypedOnesLeftOut)
{
    const json meta{{"engine", "codex"},
                    {"tty", "pts/3"},
                    {"ttyOwnerPid", 4242},
                    {"ancestorPids", {10, 9, 1}},
                    {"decisionId", "d-1"},
                    {"env", {{"TERM_PROGRAM", "kitty"}, {"TMUX", "/tmp/t,1,0"}}},
                    {"pid", 77}};
    const auto event = parse(payload("PermissionRequest"), meta);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->engine, "codex");
    EXPECT_EQ(event->tty, "pts/3");
    EXPECT_EQ(event->ttyOwnerPID, 4242);
    EXPECT_EQ(event->ancestorPIDs, (std::vector<int>{10, 9, 1}));
    EXPECT_EQ(event->decisionID, "d-1");
    EXPECT_EQ(event->terminalEnv.at("TERM_PROGRAM"), "kitty");
    EXPECT_EQ(event->terminalEnv.size(), 2u);

    const json mistyped{{"engine", 3},           {"tty", 1},
                        {"ttyOwnerPid", "4242"}, {"ancestorPids", json::array({10, "9"})},
                        {"decisionId", 42},      {"env", {{"A", "b"}, {"C", 1}}}};
    const auto loose = parse(payload("PermissionRequest"), mistyped);
    ASSERT_TRUE(loose);
    EXPECT_EQ(loose->engine, "claude");
    EXPECT_FALSE(loose->tty);
    EXPECT_FALSE(loose->ttyOwnerPID);
    EXPECT_TRUE(loose->ancestorPIDs.empty());
    EXPECT_FALSE(loose->decisionID);
    EXPECT_TRUE(loose->terminalEnv.empty());

    for (const json& odd : {json("meta"), json::array({1}), json(5.5)}) {
        const auto event = parse(payload("Stop"), odd);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->engine, "claude");
    }
    // Fractions, booleans and numbers beyond an int are not process ids.
    EXPECT_TRUE(parse(payload("Stop"), {{"ancestorPids", {1.5}}})->ancestorPIDs.empty());
    EXPECT_TRUE(parse(payload("Stop"), {{"ancestorPids", {true}}})->ancestorPIDs.empty());
    EXPECT_FALSE(parse(payload("Stop"), {{"ttyOwnerPid", 1LL << 40}})->ttyOwnerPID);
}

TEST(HookEventTest, ATranscriptPathHoldingANulIsRefused)
{
    const auto event =
        parse(payload("Stop", {{"transcript_path", std::string("/t.jsonl\0/etc/passwd", 20)}}));
    ASSERT_TRUE(event);
    EXPECT_FALSE(event->transcriptPath);
}

// Whatever a session keeps from its events has a bound in bytes, so sessions that send megabytes
// cost no more than ordinary ones.
TEST(HookEventTest, TextsASessionKeepsAreCutToTheirBounds)
{
    // The bounds count characters; a cut text ends in a three-byte ellipsis.
    const auto characters = [](const std::string& text) {
        return static_cast<std::size_t>(std::count_if(
            text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    };
    const std::string huge(1024 * 1024, 'x');
    const std::string hugePath = "/home/dev/" + huge;
    json env = json::object();
    for (int i = 0; i < 200; ++i)
        env["VAR_" + std::to_string(i)] = huge;
    const auto event = parse(payload("PermissionRequest", {{"transcript_path", hugePath},
                                                           {"permission_mode", huge},
                                                           {"agent_id", huge},
                                                           {"agent_type", huge},
                                                           {"tool_name", "Read"},
                                                           {"tool_input", {{"file_path", hugePath}}}}),
                             {{"tty", huge}, {"env", env}});
    ASSERT_TRUE(event);
    EXPECT_FALSE(event->transcriptPath) << "a path past the system's bound names no file";
    const auto* read = event->tool ? event->tool->as<ToolDetail::Read>() : nullptr;
    ASSERT_TRUE(read);
    EXPECT_LE(characters(read->path), ToolDetail::kMaxPathCharacters);
    EXPECT_TRUE(read->path.starts_with("/home/dev/xxx"));
    for (const auto* text : {&event->permissionMode, &event->agentID, &event->agentType, &event->tty}) {
        ASSERT_TRUE(*text);
        EXPECT_LE(characters(**text), ToolDetail::kMaxToolNameCharacters);
    }
    EXPECT_LE(event->terminalEnv.size(), 64u);
    for (const auto& [name, value] : event->terminalEnv)
        EXPECT_LE(characters(value), ToolDetail::kMaxPathCharacters) << name;

    json longID = payload("Stop");
    longID["session_id"] = std::string(HookEvent::kMaxSessionIDBytes + 1, 'a');
    EXPECT_FALSE(parse(longID));
    longID["session_id"] = std::string(HookEvent::kMaxSessionIDBytes, 'a');
    EXPECT_TRUE(parse(longID));
}

TEST(HookEventTest, PayloadFieldsAreCopied)
{
    const auto event = parse(payload("Notification", {{"transcript_path", "/t.jsonl"},
                                                      {"message", "Claude needs your permission"},
                                                      {"notification_type", "permission_prompt"},
                                                      {"prompt", "fix it"},
                                                      {"permission_mode", "plan"},
                                                      {"agent_id", "a1"},
                                                      {"agent_type", "Explore"},
                                                      {"permission_suggestions", 5}}));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->name, Name::notification);
    EXPECT_EQ(event->transcriptPath, "/t.jsonl");
    EXPECT_EQ(event->notificationMessage, "Claude needs your permission");
    EXPECT_EQ(event->notificationType, "permission_prompt");
    EXPECT_EQ(event->prompt, "fix it");
    EXPECT_EQ(event->permissionMode, "plan");
    EXPECT_EQ(event->agentID, "a1");
    EXPECT_EQ(event->agentType, "Explore");
    EXPECT_FALSE(event->permissionSuggestionsJSON);

    const json suggestions = json::array({{{"type", "addRules"}, {"rules", {{{"toolName", "Bash"}}}}}});
    const auto withSuggestions =
        parse(payload("PermissionRequest", {{"permission_suggestions", suggestions}}));
    ASSERT_TRUE(withSuggestions && withSuggestions->permissionSuggestionsJSON);
    EXPECT_EQ(json::parse(*withSuggestions->permissionSuggestionsJSON), suggestions);
    EXPECT_EQ(withSuggestions->permissionSuggestionsJSON->find(' '), std::string::npos);
}

TEST(HookEventTest, WorkingFolderFallsBackToTheFirstWorkspaceRoot)
{
    struct Case
    {
        json extra;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {{{"cwd", ""}, {"workspace_roots", {"/a", "/b"}}}, "/a"},
        {{{"cwd", "/c"}, {"workspace_roots", {"/a"}}}, "/c"},
        {{{"cwd", ""}, {"workspace_roots", json::array()}}, ""},
        {{{"workspace_roots", {"/a"}}}, "/a"},
        {{{"cwd", 5}, {"workspace_roots", {"/a"}}}, "/a"},
        {{{"workspace_roots", {1, "/a"}}}, std::nullopt},
        {json::object(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.dump());
        const auto event = parse(payload("SessionStart", c.extra));
        ASSERT_TRUE(event);
        EXPECT_EQ(event->cwd, c.expected);
    }
}

TEST(HookEventTest, ToolCallsCarryTheirActivityQuestionsAndPlan)
{
    const json questions = json::array({{{"question", "Which one?"}, {"options", json::array()}}});
    const auto asking = parse(payload(
        "PreToolUse", {{"tool_name", "AskUserQuestion"}, {"tool_input", {{"questions", questions}}}}));
    ASSERT_TRUE(asking);
    EXPECT_EQ(asking->toolName, "AskUserQuestion");
    EXPECT_EQ(asking->activity, "Which one?");
    ASSERT_TRUE(asking->rawQuestionsJSON);
    EXPECT_EQ(json::parse(*asking->rawQuestionsJSON), questions);
    EXPECT_FALSE(asking->rawPlan);

    const auto oddQuestions = parse(
        payload("PreToolUse", {{"tool_name", "AskUserQuestion"}, {"tool_input", {{"questions", "Which?"}}}}));
    ASSERT_TRUE(oddQuestions);
    EXPECT_FALSE(oddQuestions->rawQuestionsJSON);

    const auto plan = parse(payload("PermissionRequest",
                                    {{"tool_name", "ExitPlanMode"}, {"tool_input", {{"plan", "1. Do it"}}}}));
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->rawPlan, "1. Do it");
    EXPECT_EQ(plan->activity, "Plan ready for review");
    ASSERT_TRUE(plan->tool && plan->tool->as<ToolDetail::Plan>());
    EXPECT_EQ(plan->tool->as<ToolDetail::Plan>()->text, "1. Do it");
    const auto notPlan =
        parse(payload("PermissionRequest", {{"tool_name", "Write"}, {"tool_input", {{"plan", "1. Do it"}}}}));
    ASSERT_TRUE(notPlan);
    EXPECT_FALSE(notPlan->rawPlan);

    // A tool input that is not an object counts as empty.
    const auto bash = parse(payload("PreToolUse", {{"tool_name", "Bash"}, {"tool_input", "ls"}}));
    ASSERT_TRUE(bash);
    EXPECT_EQ(bash->activity, "Bash");

    // A tool name is kept no longer than any real one, wherever it is shown.
    const std::string longName(4 * ToolDetail::kMaxToolNameCharacters, 'n');
    const auto odd =
        parse(payload("PermissionRequest", {{"tool_name", longName}, {"tool_input", json::object()}}));
    ASSERT_TRUE(odd && odd->toolName && odd->tool && odd->tool->as<ToolDetail::Other>());
    const std::string bounded = std::string(ToolDetail::kMaxToolNameCharacters - 1, 'n') + "\u2026";
    EXPECT_EQ(odd->toolName, bounded);
    EXPECT_EQ(odd->tool->as<ToolDetail::Other>()->toolName, bounded);
}

TEST(HookEventTest, CursorGatesBecomeShellAndMcpTools)
{
    const json cursor{{"engine", "cursor"}};
    const auto shell = parse(payload("beforeShellExecution", {{"command", "npm test"}}), cursor);
    ASSERT_TRUE(shell);
    EXPECT_EQ(shell->name, Name::permissionRequest);
    EXPECT_EQ(shell->toolName, "Shell");
    EXPECT_EQ(shell->activity, "$ npm test");
    ASSERT_TRUE(shell->tool && shell->tool->as<ToolDetail::Bash>());
    EXPECT_EQ(shell->tool->as<ToolDetail::Bash>()->command, "npm test");

    const auto bare = parse(payload("beforeShellExecution"), cursor);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->activity, "$ ");
    ASSERT_TRUE(bare->tool && bare->tool->as<ToolDetail::Bash>());
    EXPECT_EQ(bare->tool->as<ToolDetail::Bash>()->command, "");

    const auto mcp = parse(payload("beforeMCPExecution", {{"url", "https://mcp.example"},
                                                          {"tool_input", {{"query", "x"}}},
                                                          {"questions", json::array()}}),
                           cursor);
    ASSERT_TRUE(mcp);
    EXPECT_EQ(mcp->toolName, "MCP");
    ASSERT_TRUE(mcp->tool && mcp->tool->as<ToolDetail::Other>());
    const std::vector<ToolParameter> expected{{"query", "x"}, {"url", "https://mcp.example"}};
    EXPECT_EQ(mcp->tool->as<ToolDetail::Other>()->parameters, expected);
    EXPECT_FALSE(mcp->rawQuestionsJSON);

    // A "tool_name" wins over the Cursor gates.
    const auto named =
        parse(payload("beforeShellExecution", {{"tool_name", "Read"}, {"command", "ls"}}), cursor);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->toolName, "Read");
    // Other engines have no such gates.
    EXPECT_FALSE(parse(payload("beforeShellExecution", {{"command", "ls"}})));
}
