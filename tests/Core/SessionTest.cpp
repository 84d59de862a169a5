#include "Core/Session.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::json;
using S = SessionStatus;

namespace velquist {
// Failures show the stored form rather than bytes.
void PrintTo(const Session& session, std::ostream* out)
{
    *out << session.toJson().dump();
}
void PrintTo(const SessionStatus& status, std::ostream* out)
{
    *out << status.toJson().dump();
}
} // namespace velquist

namespace {

// Seconds since 1 January 2001 as a date.
Clock::WallTime at(double seconds)
{
    return StoredForm::decodeDate(seconds);
}

Session bareSession()
{
    Session session;
    session.id = "claude:abc";
    session.agent = AgentKind::claudeCode;
    session.cwd = "/home/dev/project";
    session.status = S::Idle{};
    session.startedAt = at(786000000);
    session.updatedAt = at(786000060.25);
    return session;
}

Session fullSession()
{
    Session session = bareSession();
    session.status = S::NeedsPermission{PermissionRequest{
        "Bash", "List files", ToolDetail(ToolDetail::Bash{"ls", "List files", false}), true}};
    session.lastActivity = "Allowed from notch";
    session.terminal =
        TerminalBinding{"pts/3", 4242, "kitty", "net.kovidgoyal.kitty", {{"TERM", "xterm-kitty"}}};
    session.transcriptPath = "/home/dev/.claude/projects/x.jsonl";
    session.permissionMode = "default";
    session.autoApprovePermissions = true;
    session.attentionSince = at(786000050.000001);
    session.context = ContextUsage{150000, 200000, "opus"};
    session.detectedName = "claude";
    session.aiTitle = "Fix the build";
    session.runningSubagents = {SubagentRun{"s1", "critic", "Reading", at(786000055)},
                                SubagentRun{"s2", "helper", std::nullopt, at(786000056.5)}};
    session.subagentsDone = 3;
    session.firstPrompt = "make it work";
    session.doneSeenAt = at(-12.5);
    return session;
}

} // namespace

TEST(SessionTest, BareSessionStoresExactlyTheRequiredKeys)
{
    EXPECT_EQ(bareSession().toJson().dump(),
              R"({"id":"claude:abc","agent":"claudeCode","cwd":"/home/dev/project","status":{"idle":{}},)"
              R"("startedAt":786000000,"updatedAt":786000060.25,"terminal":{"env":{}},)"
              R"("autoApprovePermissions":false,"runningSubagents":[],"subagentsDone":0})");
}

TEST(SessionTest, RoundTripsThroughItsStoredForm)
{
    for (const Session& session : {bareSession(), fullSession()}) {
        const std::string text = session.toJson().dump();
        const auto back = Session::fromJson(json::parse(text));
        ASSERT_TRUE(back.ok()) << back.error.describe();
        EXPECT_EQ(*back, session);
        EXPECT_EQ(back->toJson().dump(), text);
    }
}

TEST(SessionTest, StatusCasesAndTheirStoredForms)
{
    struct Case
    {
        SessionStatus status;
        std::string text;
    } cases[] = {
        {S::Working{}, R"({"working":{}})"},
        {S::Working{"Thinking\u2026"}, R"({"working":{"activity":"Thinking…"}})"},
        {S::Done{}, R"({"done":{}})"},
        {S::Done{"All green"}, R"({"done":{"summary":"All green"}})"},
        {S::Idle{}, R"({"idle":{}})"},
        {S::Ended{}, R"({"ended":{}})"},
        {S::NeedsPermission{PermissionRequest{"Read", "Read a", std::nullopt, false}},
         R"({"needsPermission":{"_0":{"toolName":"Read","summary":"Read a","supportsAlwaysAllow":false}}})"},
        {S::WaitingForInput{AgentInquiry{{AgentQuestion{"Waiting for your input", {}, {}, false}}}},
         R"({"waitingForInput":{"_0":{"questions":[{"question":"Waiting for your input","options":[],"multiSelect":false}]}}})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status.toJson().dump(), c.text);
        const auto back = SessionStatus::fromJson(json::parse(c.text));
        ASSERT_TRUE(back.ok()) << c.text;
        EXPECT_EQ(*back, c.status);
    }
    EXPECT_EQ(*SessionStatus::fromJson(json::parse(R"({"done":{"x":1},"later":true})")),
              SessionStatus(S::Done{}));
    EXPECT_EQ(*SessionStatus::fromJson(json::parse(R"({"working":{"activity":null}})")),
              SessionStatus(S::Working{}));
}

TEST(SessionTest, MalformedStatusesFail)
{
    const std::string invalidCount = "Invalid number of keys found, expected one.";
    struct Case
    {
        const char* text;
        std::string message; // empty: any message
    } cases[] = {
        {R"({})", invalidCount},
        {R"({"working":{},"done":{}})", invalidCount},
        {R"({"sleeping":{}})", invalidCount},
        {R"({"idle":null})", ""},
        {R"({"ended":true})", ""},
        {R"({"working":{"activity":5}})", ""},
        {R"({"needsPermission":{}})", ""},
        {R"({"needsPermission":{"_0":{"toolName":"x","summary":"y"}}})", ""},
        {R"({"waitingForInput":{"_0":{"questions":[{"question":"q"}]}}})", ""},
        {R"("idle")", ""},
    };
    for (const auto& c : cases) {
        const auto decoded = SessionStatus::fromJson(json::parse(c.text));
        EXPECT_FALSE(decoded.ok()) << c.text;
        if (!c.message.empty()) {
            EXPECT_EQ(decoded.error.message, c.message) << c.text;
        }
    }
}

TEST(SessionTest, MalformedRecordsFailOneByOne)
{
    // Each case changes one key of a valid stored session.
    struct Case
    {
        const char* key;
        json value; // discarded: remove the key
        bool decodes;
    } cases[] = {
        {"runningSubagents", json::value_t::discarded, false},
        {"subagentsDone", json::value_t::discarded, false},
        {"subagentsDone", "3", false},
        {"subagentsDone", 2.5, false},
        {"subagentsDone", 2.0, true},
        {"firstPrompt", json::value_t::discarded, true},
        {"doneSeenAt", json::value_t::discarded, true},
        {"context", json::value_t::discarded, true},
        {"context", nullptr, true},
        {"context", json{{"tokens", 1}}, false},
        {"agent", "claude", false},
        {"agent", "claudeCode", true},
        {"agent", "ClaudeCode", false},
        {"id", nullptr, false},
        {"id", 7, false},
        {"cwd", json::value_t::discarded, false},
        {"status", json::value_t::discarded, false},
        {"status", json::object(), false},
        {"startedAt", "2024-01-01", false},
        {"startedAt", 1e300, false},
        // Beyond what the clock holds (about 292 years either side of 1970) a date would wrap.
        {"startedAt", 1e11, false},
        {"startedAt", -1e11, false},
        {"startedAt", 7.0e9, true},
        {"updatedAt", nullptr, false},
        {"terminal", json::object(), false},
        {"terminal", json{{"env", json::object()}}, true},
        {"terminal", json{{"env", {{"TERM", 1}}}}, false},
        {"terminal", json{{"env", json::object()}, {"ownerPID", "12"}}, false},
        {"autoApprovePermissions", 1, false},
        {"runningSubagents", json::array({json{{"id", "a"}, {"name", "n"}}}), false},
        {"runningSubagents", json::object(), false},
        {"attentionSince", "now", false},
        {"lastActivity", json::array(), false},
        {"unknownKey", 1, true},
    };
    const json valid = json::parse(fullSession().toJson().dump());
    for (const auto& c : cases) {
        json record = valid;
        if (c.value.is_discarded())
            record.erase(c.key);
        else
            record[c.key] = c.value;
        const auto decoded = Session::fromJson(record);
        EXPECT_EQ(decoded.ok(), c.decodes)
            << c.key << " = " << c.value.dump() << ": " << decoded.error.describe();
    }
    const auto badAgent = Session::fromJson(json::parse(R"({"id":"x","agent":"claude"})"));
    EXPECT_EQ(badAgent.error.path, "agent");
    EXPECT_FALSE(Session::fromJson(json::array()).ok());
    EXPECT_FALSE(Session::fromJson(json("session")).ok());
}

TEST(SessionTest, TerminalWithOnlyAnEmptyEnvironment)
{
    const auto binding = TerminalBinding::fromJson(json::parse(R"({"env":{}})"));
    ASSERT_TRUE(binding.ok());
    EXPECT_EQ(*binding, TerminalBinding{});
    EXPECT_EQ(TerminalBinding{}.toJson().dump(), R"({"env":{}})");
}

TEST(SessionTest, EqualityCoversEveryField)
{
    Session a = fullSession();
    Session b = a;
    EXPECT_EQ(a, b);
    b.updatedAt += std::chrono::seconds(1);
    EXPECT_NE(a, b);
    b = a;
    b.terminal.env["X"] = "1";
    EXPECT_NE(a, b);
}

TEST(SessionTest, AgentKindNames)
{
    std::vector<std::string> names;
    for (const AgentKind kind : kAllAgentKinds) {
        names.emplace_back(toString(kind));
        EXPECT_EQ(agentKindFromString(toString(kind)), kind);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"claudeCode", "codex", "cursor", "gemini", "qwen", "opencode",
                                               "detected"}));
    EXPECT_EQ(agentKindFromString("claude"), std::nullopt);
    EXPECT_EQ(agentKindFromString("Codex"), std::nullopt);
}

TEST(SessionTest, DatesKeepMicroseconds)
{
    const auto date = Clock::WallTime(std::chrono::microseconds(1733832000123456));
    EXPECT_EQ(StoredForm::decodeDate(StoredForm::encodeDate(date)), date);
    EXPECT_EQ(StoredForm::encodeDate(Clock::WallTime(std::chrono::seconds(978307200))), 0.0);
    EXPECT_EQ(StoredForm::dateJson(Clock::WallTime(std::chrono::seconds(978307201))).dump(), "1");
}
