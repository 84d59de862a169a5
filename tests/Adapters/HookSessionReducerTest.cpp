#include "Adapters/HookSessionReducer.h"

#include <gtest/gtest.h>
#include <ostream>

using namespace velquist;
using Name = HookEvent::Name;
using Traits = HookSessionReducer::Traits;
namespace Reducer = HookSessionReducer;

namespace velquist {

inline void PrintTo(const SessionStatus& status, std::ostream* out)
{
    *out << status.toJson().dump();
}

} // namespace velquist

namespace {

const std::string kThinking = "Thinking\u2026";
const Clock::WallTime kNow = Clock::WallTime(std::chrono::hours(500'000));

HookEvent made(Name name)
{
    HookEvent event;
    event.name = name;
    event.sessionID = "s1";
    return event;
}

HookEvent tool(Name name, std::string toolName, std::optional<ToolDetail> detail = std::nullopt)
{
    HookEvent event = made(name);
    event.toolName = std::move(toolName);
    event.tool = std::move(detail);
    event.activity = event.tool ? std::optional<std::string>(event.tool->title()) : event.toolName;
    return event;
}

Session working(std::string activity)
{
    Session session = Reducer::fresh("claude:s1", AgentKind::claudeCode, made(Name::sessionStart), kNow);
    session.status = SessionStatus::Working{activity};
    session.lastActivity = activity;
    return session;
}

AgentInquiry oneQuestion(const std::string& text)
{
    return AgentInquiry{{AgentQuestion{text, {QuestionOption{"Yes", std::nullopt}}, std::nullopt, false}}};
}

} // namespace

TEST(HookSessionReducerTest, EventsMoveTheStatus)
{
    const auto bash = ToolDetail::parse("Bash", {{"command", "make"}});
    HookEvent subagentTool = tool(Name::preToolUse, "Grep");
    subagentTool.agentID = "a1";
    HookEvent waitingNote = made(Name::notification);
    waitingNote.notificationType = "idle_prompt";
    HookEvent permissionNote = made(Name::notification);
    permissionNote.notificationMessage = "Claude needs your permission to use Bash";
    HookEvent suggested = tool(Name::preToolUse, "ExitPlanMode", ToolDetail::Plan{"1. do it"});
    suggested.permissionSuggestionsJSON = R"([{"type":"setMode"}])";
    struct Case
    {
        std::string name;
        Session before;
        HookEvent event;
        Traits traits;
        SessionStatus status;
        std::optional<std::string> lastActivity;
    };
    Session withSubagent = working("$ make");
    withSubagent.runningSubagents.push_back(SubagentRun{"a1", "Explore", std::nullopt, kNow});
    const std::vector<Case> cases{
        {"a prompt",
         working("x"),
         made(Name::userPromptSubmit),
         {},
         SessionStatus::Working{kThinking},
         kThinking},
        {"a tool",
         working("x"),
         tool(Name::preToolUse, "Bash", bash),
         {},
         SessionStatus::Working{bash.title()},
         bash.title()},
        {"a subagent's tool leaves the session alone",
         withSubagent,
         subagentTool,
         {},
         SessionStatus::Working{"$ make"},
         "$ make"},
        {"a plan offers always-allow where the agent takes suggestions back",
         working("x"),
         suggested,
         {.forwardsUpdatedPermissions = true},
         SessionStatus::NeedsPermission{
             PermissionRequest{"ExitPlanMode", "Plan ready for review", ToolDetail::Plan{"1. do it"}, true}},
         "Plan ready for review"},
        {"a plan without such an agent",
         working("x"),
         suggested,
         {},
         SessionStatus::NeedsPermission{
             PermissionRequest{"ExitPlanMode", "Plan ready for review", ToolDetail::Plan{"1. do it"}, false}},
         "Plan ready for review"},
        {"a question",
         working("x"),
         tool(Name::preToolUse, "AskUserQuestion", ToolDetail::Question{oneQuestion("Which?")}),
         {},
         SessionStatus::WaitingForInput{oneQuestion("Which?")},
         "Which?"},
        {"a permission notice",
         working("x"),
         permissionNote,
         {},
         SessionStatus::NeedsPermission{
             PermissionRequest{"Bash", "Claude needs your permission to use Bash", std::nullopt, false}},
         "x"},
        {"a waiting notice",
         working("x"),
         waitingNote,
         {},
         SessionStatus::WaitingForInput{
             AgentInquiry{{AgentQuestion{"Waiting for your input", {}, std::nullopt, false}}}},
         "x"},
        {"a finished tool while done changes nothing",
         [] {
             Session done = working("x");
             done.status = SessionStatus::Done{};
             return done;
         }(),
         tool(Name::postToolUse, "Bash", bash),
         {},
         SessionStatus::Done{},
         "x"},
        {"a stop", working("x"), made(Name::stop), {}, SessionStatus::Done{}, "x"},
        {"the end", working("x"), made(Name::sessionEnd), {}, SessionStatus::Ended{}, "x"},
        {"a request",
         working("x"),
         tool(Name::permissionRequest, "Bash", bash),
         {},
         SessionStatus::NeedsPermission{PermissionRequest{"Bash", bash.title(), bash, false}},
         bash.title()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Session after = Reducer::reduce(c.before, c.event, c.traits, kNow);
        EXPECT_EQ(after.status, c.status);
        EXPECT_EQ(after.lastActivity, c.lastActivity);
    }
}

TEST(HookSessionReducerTest, EventsContextReplacesWhatItCarriesAndKeepsTheRest)
{
    HookEvent first = made(Name::sessionStart);
    first.cwd = "/home/dev/app";
    first.tty = "/dev/pts/3";
    first.ttyOwnerPID = 4242;
    first.transcriptPath = "/t.jsonl";
    first.terminalEnv = {{"TERM_PROGRAM", "kitty"}};
    const Session fresh = Reducer::fresh("claude:s1", AgentKind::codex, first, kNow);
    EXPECT_EQ(fresh.id, "claude:s1");
    EXPECT_EQ(fresh.agent, AgentKind::codex);
    EXPECT_EQ(fresh.status, SessionStatus(SessionStatus::Idle{}));
    EXPECT_EQ(fresh.startedAt, kNow);
    EXPECT_EQ(fresh.terminal.ownerPID, 4242);
    EXPECT_EQ(Reducer::fresh("k", AgentKind::codex, made(Name::stop), kNow).cwd, "unknown");

    HookEvent bare = made(Name::userPromptSubmit);
    bare.prompt = "fix the build";
    bare.permissionMode = "plan";
    Session after = Reducer::reduce(fresh, bare, {}, kNow);
    EXPECT_EQ(after.cwd, "/home/dev/app");
    EXPECT_EQ(after.terminal.tty, "/dev/pts/3");
    EXPECT_EQ(after.terminal.ownerPID, 4242);
    EXPECT_EQ(after.terminal.env.at("TERM_PROGRAM"), "kitty");
    EXPECT_EQ(after.transcriptPath, "/t.jsonl");
    EXPECT_EQ(after.permissionMode, "plan");
    EXPECT_EQ(after.firstPrompt, "fix the build");
    bare.prompt = "and the tests";
    bare.cwd = "/elsewhere";
    after = Reducer::reduce(after, bare, {}, kNow);
    EXPECT_EQ(after.firstPrompt, "fix the build");
    EXPECT_EQ(after.cwd, "/elsewhere");
}

TEST(HookSessionReducerTest, SubagentRunsAreCountedByTheirIds)
{
    Session session = working("x");
    HookEvent start = made(Name::subagentStart);
    start.agentID = "a1";
    session = Reducer::reduce(session, start, {}, kNow);
    session = Reducer::reduce(session, start, {}, kNow);
    start.agentID.reset();
    session = Reducer::reduce(session, start, {}, kNow);
    ASSERT_EQ(session.runningSubagents.size(), 2u);
    EXPECT_EQ(session.runningSubagents[0].name, "subagent");
    EXPECT_EQ(session.runningSubagents[0].startedAt, kNow);
    EXPECT_FALSE(session.runningSubagents[1].id.empty());
    EXPECT_EQ(session.status, SessionStatus(SessionStatus::Working{"x"}));

    HookEvent stop = made(Name::subagentStop);
    stop.agentID = "a1";
    session = Reducer::reduce(session, stop, {}, kNow);
    session = Reducer::reduce(session, stop, {}, kNow);
    EXPECT_EQ(session.runningSubagents.size(), 1u);
    EXPECT_EQ(session.subagentsDone, 2);
}

TEST(HookSessionReducerTest, ShownRequestIsRecognisedUntilSomethingElseIsShown)
{
    const auto bash = ToolDetail::parse("Bash", {{"command", "make"}});
    const HookEvent request = tool(Name::permissionRequest, "Bash", bash);
    const HookEvent question =
        tool(Name::permissionRequest, "AskUserQuestion", ToolDetail::Question{oneQuestion("Which?")});
    Session shown = Reducer::showRequest(working("x"), request, {});
    // What the panel learns about the tool later (whether a write replaces a file) changes its detail.
    PermissionRequest learned = shown.status.as<SessionStatus::NeedsPermission>()->request;
    learned.tool = ToolDetail::parse("Bash", {{"command", "make"}, {"description", "build"}});
    struct Case
    {
        std::string name;
        SessionStatus status;
        HookEvent request;
        bool shows;
    };
    const std::vector<Case> cases{
        {"the request", shown.status, request, true},
        {"the request with more detail", SessionStatus::NeedsPermission{learned}, request, true},
        {"another tool's request",
         Reducer::showRequest(working("x"), tool(Name::permissionRequest, "Edit"), {}).status, request,
         false},
        {"working again", SessionStatus::Working{"x"}, request, false},
        {"the question", Reducer::showRequest(working("x"), question, {}).status, question, true},
        {"another question", SessionStatus::WaitingForInput{oneQuestion("Why?")}, question, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Reducer::showsRequest(c.status, c.request, {}), c.shows) << c.name;
}

TEST(HookSessionReducerTest, ToolNameFromAPermissionMessage)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"Claude needs your permission to use Bash", "Bash"},
        {"Claude needs your permission to use \n  WebFetch. Then more", "WebFetch"},
        {"needs permission to use \u201cmcp__github__issue\u201d!", "mcp__github__issue"},
        {"permission to use ...", ""},
        {"Claude needs permission TO USE Bash", std::nullopt},
        {"Claude needs permission to use ", std::nullopt},
        {"Claude needs your permission", std::nullopt},
        {"permission to use " + std::string(ToolDetail::kMaxToolNameCharacters + 1, 'x'),
         std::string(ToolDetail::kMaxToolNameCharacters - 1, 'x') + "\u2026"},
    };
    for (const auto& [message, expected] : cases)
        EXPECT_EQ(Reducer::toolName(message), expected) << message;
}
