#include "Adapters/HookAdapterFixture.h"
#include "Core/CommandLookup.h"
#include "Ingestion/HookInstaller.h"
#include "Ingestion/TranscriptParser.h"
#include "Terminal/TerminalBinder.h"
#include "support/ChildProcess.h"
#include "support/RecordingAppRegistry.h"
#include "support/RecordingProcessRunner.h"
#include "support/WaitUntil.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;
using Name = HookEvent::Name;

namespace {

const std::string kThinking = "Thinking\u2026";

AgentInquiry oneQuestion(const std::string& text)
{
    return AgentInquiry{{AgentQuestion{text, {QuestionOption{"Yes", std::nullopt}}, std::nullopt, false}}};
}

TranscriptSnapshot withAssistantText(std::string text)
{
    TranscriptSnapshot snapshot;
    snapshot.lastAssistantText = std::move(text);
    return snapshot;
}

class HookAdapterTest : public HookAdapterFixture
{
};

} // namespace

TEST_F(HookAdapterTest, StatusTransitions)
{
    const auto bash = ToolDetail::parse("Bash", {{"command", "make"}});
    const std::string running = bash.title(); // the fixture's events carry the title as activity
    struct Case
    {
        std::string name;
        std::function<void()> before; // brings the session into its starting state
        HookEvent event;
        SessionStatus status;
        std::optional<std::string> lastActivity;
    };
    auto prompt = [this] { adapter->apply(event(Name::userPromptSubmit)); };
    auto ask = [this] {
        adapter->apply(
            toolEvent(Name::preToolUse, "AskUserQuestion", ToolDetail::Question{oneQuestion("Which?")}));
    };
    auto stopped = [this] { adapter->apply(event(Name::stop)); };
    HookEvent plan = toolEvent(Name::preToolUse, "ExitPlanMode", ToolDetail::Plan{"1. do it"});
    HookEvent permissionNote = event(Name::notification);
    permissionNote.notificationType = "permission_prompt";
    permissionNote.notificationMessage = "Claude needs your permission to use Bash.";
    HookEvent waitingNote = event(Name::notification);
    waitingNote.notificationMessage = "Claude is WAITING for your input";

    const std::vector<Case> cases{
        {"a first event makes an idle session", [] {}, event(Name::sessionStart), SessionStatus::Idle{},
         std::nullopt},
        {"a prompt starts work", [] {}, event(Name::userPromptSubmit), SessionStatus::Working{kThinking},
         kThinking},
        {"a tool starts", prompt, toolEvent(Name::preToolUse, "Bash", bash), SessionStatus::Working{running},
         running},
        {"a tool starts even from done", stopped, toolEvent(Name::preToolUse, "Bash", bash),
         SessionStatus::Working{running}, running},
        {"a question", prompt,
         toolEvent(Name::preToolUse, "AskUserQuestion", ToolDetail::Question{oneQuestion("Which?")}),
         SessionStatus::WaitingForInput{oneQuestion("Which?")}, "Which?"},
        {"a plan", prompt, plan,
         SessionStatus::NeedsPermission{
             PermissionRequest{"ExitPlanMode", "Plan ready for review", ToolDetail::Plan{"1. do it"}, false}},
         "Plan ready for review"},
        {"a finished tool while working", prompt, toolEvent(Name::postToolUse, "Bash", bash),
         SessionStatus::Working{running}, running},
        {"a finished tool while asking changes nothing", ask, toolEvent(Name::postToolUse, "Bash", bash),
         SessionStatus::WaitingForInput{oneQuestion("Which?")}, "Which?"},
        {"the answered question means thinking", ask, toolEvent(Name::postToolUse, "AskUserQuestion"),
         SessionStatus::Working{kThinking}, kThinking},
        {"a permission notice", prompt, permissionNote,
         SessionStatus::NeedsPermission{
             PermissionRequest{"Bash", "Claude needs your permission to use Bash.", std::nullopt, false}},
         kThinking},
        {"a permission notice never replaces a question", ask, permissionNote,
         SessionStatus::WaitingForInput{oneQuestion("Which?")}, "Which?"},
        {"a waiting notice while working", prompt, waitingNote,
         SessionStatus::WaitingForInput{
             AgentInquiry{{AgentQuestion{"Waiting for your input", {}, std::nullopt, false}}}},
         kThinking},
        {"a waiting notice while idle changes nothing", [] {}, waitingNote, SessionStatus::Idle{},
         std::nullopt},
        {"an unknown notice changes nothing", prompt,
         [&] {
             HookEvent other = event(Name::notification);
             other.notificationType = "auth_success";
             other.notificationMessage = "permission granted";
             return other;
         }(),
         SessionStatus::Working{kThinking}, kThinking},
        {"a stop is done without a summary", prompt, event(Name::stop), SessionStatus::Done{}, kThinking},
        {"the end", prompt, event(Name::sessionEnd), SessionStatus::Ended{}, kThinking},
        {"a permission request without a waiting client", prompt,
         toolEvent(Name::permissionRequest, "Bash", bash),
         SessionStatus::NeedsPermission{PermissionRequest{"Bash", running, bash, false}}, running},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.remove("claude:s1");
        c.before();
        adapter->apply(c.event);
        EXPECT_EQ(session().status, c.status);
        EXPECT_EQ(session().lastActivity, c.lastActivity);
    }
}

TEST_F(HookAdapterTest, NewSessionTakesTheEventsContextAndLaterEventsNeverEraseIt)
{
    HookEvent start = event(Name::sessionStart);
    start.cwd = "/home/dev/app";
    start.tty = "/dev/pts/3";
    start.ttyOwnerPID = 4242;
    start.terminalEnv = {{"TERM_PROGRAM", "kitty"}};
    adapter->apply(start);
    EXPECT_EQ(session().agent, AgentKind::claudeCode);
    EXPECT_EQ(session().cwd, "/home/dev/app");
    EXPECT_EQ(session().terminal.tty, "/dev/pts/3");
    EXPECT_EQ(session().terminal.ownerPID, 4242);
    EXPECT_EQ(session().startedAt, clock.now());

    HookEvent bare = event(Name::userPromptSubmit);
    bare.prompt = "fix the build";
    bare.permissionMode = "plan";
    adapter->apply(bare);
    bare.prompt = "and the tests";
    adapter->apply(bare);
    EXPECT_EQ(session().cwd, "/home/dev/app");
    EXPECT_EQ(session().terminal.ownerPID, 4242);
    EXPECT_EQ(session().terminal.env.at("TERM_PROGRAM"), "kitty");
    EXPECT_EQ(session().permissionMode, "plan");
    EXPECT_EQ(session().firstPrompt, "fix the build");

    adapter->apply(event(Name::sessionStart, "other"));
    EXPECT_EQ(session("claude:other").cwd, "unknown");
}

TEST_F(HookAdapterTest, SessionIsBoundToItsTerminalApplicationOnce)
{
    RecordingAppRegistry registry;
    constexpr pid_t kitty = 3'999'001; // beyond any live pid, so it has no ancestors
    registry.add(RunningApp{kitty, "net.kovidgoyal.kitty", "kitty", true});
    registry.add(RunningApp{3'999'002, "org.gnome.Terminal", "Terminal", true});
    registry.add(RunningApp{3'999'003, "tool", std::nullopt, false});
    TerminalBinder binder(registry);
    HookAdapter bound(store, testEngine(), std::make_unique<FakeProfile>(kClaudeLike),
                      HookAdapter::Services{clock, clock, watcher, dispatcher, &binder, &workers});

    HookEvent owned = event(Name::sessionStart, "owned");
    owned.ttyOwnerPID = kitty;
    bound.apply(owned);
    ASSERT_TRUE(waitUntil([&] { return session("claude:owned").terminal.appName.has_value(); }));
    EXPECT_EQ(session("claude:owned").terminal.appName, "kitty");
    EXPECT_EQ(session("claude:owned").terminal.bundleID, "net.kovidgoyal.kitty");

    // Without an owner, the first regular application among the hook client's ancestors.
    HookEvent hosted = event(Name::sessionStart, "hosted");
    hosted.ancestorPIDs = {3'999'003, 3'999'002};
    bound.apply(hosted);
    ASSERT_TRUE(waitUntil([&] { return session("claude:hosted").terminal.appName.has_value(); }));
    EXPECT_EQ(session("claude:hosted").terminal.ownerPID, 3'999'002);
    EXPECT_EQ(session("claude:hosted").terminal.appName, "Terminal");

    // Once bound, another owner does not move the session to another application.
    const auto askedBefore = registry.asked().size();
    hosted.ttyOwnerPID = kitty;
    bound.apply(hosted);
    drain(workers);
    EXPECT_EQ(session("claude:hosted").terminal.ownerPID, kitty);
    EXPECT_EQ(session("claude:hosted").terminal.appName, "Terminal");
    EXPECT_EQ(registry.asked().size(), askedBefore);
}

TEST_F(HookAdapterTest, SessionInsideTmuxIsBoundToTheTerminalOfAnAttachedClient)
{
    RecordingProcessRunner runner;
    runner.respond(RecordingProcessRunner::tmuxServer("$1", "3999011 1700000500 $1\n"));
    CommandLookup lookup(runner, "/bin/sh");
    Tmux tmux(runner, lookup);
    if (!tmux.executable())
        GTEST_SKIP() << "tmux is not installed";
    RecordingAppRegistry registry;
    registry.add(RunningApp{3'999'011, "org.example.Terminal", "Terminal", true});
    TerminalBinder binder(registry, &tmux);
    HookAdapter bound(store, testEngine(), std::make_unique<FakeProfile>(kClaudeLike),
                      HookAdapter::Services{clock, clock, watcher, dispatcher, &binder});

    // The agent in the pane descends from the tmux server, not from any terminal.
    const pid_t agent = ::getpid();
    HookEvent start = event(Name::sessionStart);
    start.ttyOwnerPID = agent;
    start.terminalEnv = {{"TMUX", "/tmp/tmux-1000/default,77,1"}, {"TMUX_PANE", "%4"}};
    bound.apply(start);
    ASSERT_TRUE(waitUntil([&] { return session().terminal.appName.has_value(); }));
    EXPECT_EQ(session().terminal.appName, "Terminal");
    EXPECT_EQ(session().terminal.bundleID, "org.example.Terminal");
    EXPECT_EQ(session().terminal.ownerPID, agent); // the sweep still watches the agent
}

TEST_F(HookAdapterTest, SubagentsAreCountedWithoutMovingTheStatus)
{
    adapter->apply(event(Name::userPromptSubmit));
    HookEvent start = event(Name::subagentStart);
    start.agentID = "a1";
    start.agentType = "Explore";
    adapter->apply(start);
    adapter->apply(start);
    HookEvent unnamed = event(Name::subagentStart);
    unnamed.agentID = "a2";
    adapter->apply(unnamed);
    ASSERT_EQ(session().runningSubagents.size(), 2u);
    EXPECT_EQ(session().runningSubagents[0].name, "Explore");
    EXPECT_EQ(session().runningSubagents[1].name, "subagent");

    HookEvent subagentTool = toolEvent(Name::preToolUse, "Grep");
    subagentTool.agentID = "a2";
    subagentTool.activity = "Search TODO";
    adapter->apply(subagentTool);
    EXPECT_EQ(session().runningSubagents[1].activity, "Search TODO");
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Working{kThinking}));

    // A tool of a subagent that was never announced moves the main session.
    subagentTool.agentID = "stranger";
    adapter->apply(subagentTool);
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Working{"Search TODO"}));

    adapter->apply(event(Name::subagentStop)); // no id: the oldest run
    EXPECT_EQ(session().runningSubagents.size(), 1u);
    EXPECT_EQ(session().runningSubagents[0].id, "a2");
    HookEvent stop = event(Name::subagentStop);
    stop.agentID = "a2";
    adapter->apply(stop);
    adapter->apply(stop); // nothing left to remove: still counted
    EXPECT_TRUE(session().runningSubagents.empty());
    EXPECT_EQ(session().subagentsDone, 3);

    adapter->apply(start);
    adapter->apply(event(Name::userPromptSubmit));
    EXPECT_EQ(session().subagentsDone, 0);
    EXPECT_EQ(session().runningSubagents.size(), 1u);
}

TEST_F(HookAdapterTest, IdleDoneTimerInfersDoneForAnAgentWithoutStopEvents)
{
    remake({.infersDoneWhenIdle = true});
    adapter->apply(event(Name::userPromptSubmit));
    adapter->applyTranscript(withAssistantText(std::string(130, 'x')), "claude:s1");
    clock.advance(20s);
    adapter->apply(toolEvent(Name::postToolUse, "read_file")); // any event restarts the 25 seconds
    clock.advance(20s);
    EXPECT_TRUE(session().status.is<SessionStatus::Working>());
    clock.advance(5s);
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Done{std::string(119, 'x') + "\u2026"}));
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:s1"));

    // A text of exactly 120 characters stays whole; line feeds become spaces.
    adapter->apply(event(Name::userPromptSubmit));
    adapter->applyTranscript(withAssistantText("a\nb" + std::string(117, 'c')), "claude:s1");
    clock.advance(25s);
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Done{"a b" + std::string(117, 'c')}));

    // A question or a stop before the 25 seconds cancels the timer.
    adapter->apply(event(Name::userPromptSubmit));
    EXPECT_TRUE(adapter->hasIdleDoneTimer("claude:s1"));
    adapter->apply(toolEvent(Name::preToolUse, "ask", ToolDetail::Question{oneQuestion("Which?")}));
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:s1"));
    clock.advance(30s);
    EXPECT_TRUE(session().status.is<SessionStatus::WaitingForInput>());
}

TEST_F(HookAdapterTest, AgentsThatStopThemselvesGetNoIdleTimer)
{
    adapter->apply(event(Name::userPromptSubmit));
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:s1"));
    clock.advance(60s);
    EXPECT_TRUE(session().status.is<SessionStatus::Working>());
}

TEST_F(HookAdapterTest, EndedSessionIsRemovedTwoSecondsLaterUnlessItCameBack)
{
    auto client = hold(toolEvent(Name::preToolUse, "Bash", ToolDetail::parse("Bash", {{"command", "ls"}})));
    adapter->apply(event(Name::sessionEnd));
    EXPECT_TRUE(session().status.is<SessionStatus::Ended>());
    EXPECT_EQ(client->outcome(), ""); // closed at once, without a reply
    clock.advance(1999ms);
    EXPECT_TRUE(store.session("claude:s1"));
    clock.advance(1ms);
    EXPECT_FALSE(store.session("claude:s1"));

    // A prompt between the end and the removal brings the session back for good.
    adapter->apply(event(Name::sessionEnd, "s2"));
    clock.advance(1s);
    adapter->apply(event(Name::userPromptSubmit, "s2"));
    clock.advance(5s);
    ASSERT_TRUE(store.session("claude:s2"));
    EXPECT_TRUE(session("claude:s2").status.is<SessionStatus::Working>());
}

TEST_F(HookAdapterTest, StaleSweepRemovesOldAndOrphanedSessionsOfItsOwnAgentOnly)
{
    FakeProfile* codexProfile = nullptr;
    auto codex = makeAdapter(testEngine(AgentKind::codex, "codex"), codexProfile);

    HookEvent orphan = event(Name::sessionStart, "orphan");
    orphan.ttyOwnerPID = test::goneProcessID();
    adapter->apply(orphan);
    HookEvent alive = event(Name::sessionStart, "alive");
    alive.ttyOwnerPID = ::getpid();
    adapter->apply(alive);
    HookEvent outOfRange = event(Name::sessionStart, "odd");
    outOfRange.ttyOwnerPID = -5;
    adapter->apply(outOfRange);
    adapter->apply(event(Name::sessionStart, "quiet"));
    auto held = hold(toolEvent(Name::preToolUse, "Bash", std::nullopt, "quiet"));

    HookEvent codexEvent = event(Name::sessionStart, "c1");
    codexEvent.engine = "codex";
    codexEvent.ttyOwnerPID = orphan.ttyOwnerPID;
    codex->apply(codexEvent);
    auto codexHeld = std::make_unique<WaitingClient>(
        [&] {
            HookEvent request = codexEvent;
            request.name = Name::permissionRequest;
            request.decisionID = "d";
            return request;
        }(),
        hangups);
    codex->receive(codexHeld->decision);

    clock.advance(60s);
    EXPECT_FALSE(store.session("claude:orphan"));
    EXPECT_TRUE(store.session("claude:alive"));
    EXPECT_TRUE(store.session("claude:odd"));
    EXPECT_TRUE(store.session("claude:quiet"));
    EXPECT_FALSE(store.session("codex:c1")); // swept by its own adapter, which let go of its request
    EXPECT_EQ(codexHeld->outcome(), "");
    EXPECT_FALSE(codex->holdsDecision("codex:c1"));

    codex.reset();
    Session foreign;
    foreign.id = "codex:c2";
    foreign.agent = AgentKind::codex;
    foreign.terminal.ownerPID = orphan.ttyOwnerPID;
    store.upsert(foreign);
    clock.advance(6h);
    // Another agent's session is left to its own adapter.
    EXPECT_TRUE(store.session("codex:c2"));
    EXPECT_FALSE(store.session("claude:alive"));
    EXPECT_FALSE(store.session("claude:quiet"));
    EXPECT_EQ(held->outcome(), "");
    EXPECT_FALSE(adapter->holdsDecision("claude:quiet"));
}

TEST_F(HookAdapterTest, EndingOrSweepingASessionForgetsEverythingKeptForIt)
{
    TemporaryFolder folder;
    const auto transcript = folder.path() / "t.jsonl";
    std::ofstream(transcript) << "";
    profile->parser = TranscriptParser::parse;
    HookEvent start = event(Name::sessionStart);
    start.transcriptPath = transcript.string();
    adapter->apply(start);
    HookEvent oldPlan = toolEvent(Name::preToolUse, "ExitPlanMode", ToolDetail::Plan{"old plan"});
    oldPlan.rawPlan = "old plan";
    adapter->apply(oldPlan);
    EXPECT_TRUE(adapter->hasTailer("claude:s1"));

    adapter->apply(event(Name::sessionEnd));
    EXPECT_FALSE(adapter->hasTailer("claude:s1"));
    clock.advance(2s);

    // The same agent session id starting again is a fresh session: no old plan, a new baseline.
    adapter->apply(start);
    EXPECT_TRUE(adapter->hasTailer("claude:s1"));
    HookEvent plan = toolEvent(Name::preToolUse, "ExitPlanMode");
    plan.rawPlan = std::nullopt;
    adapter->apply(plan);
    auto client = hold(toolEvent(Name::preToolUse, "ExitPlanMode"));
    ASSERT_TRUE(adapter->resolveDecision(ControlAction::approvePlan(std::nullopt), "claude:s1"));
    EXPECT_FALSE(client->replyJson().contains("input"));
}

TEST_F(HookAdapterTest, ASessionThatLeavesTheStoreOtherwiseIsForgottenToo)
{
    TemporaryFolder folder;
    const auto transcript = folder.path() / "t.jsonl";
    std::ofstream(transcript) << "";
    remake({.infersDoneWhenIdle = true});
    profile->parser = TranscriptParser::parse;
    for (const std::string id : {"capped", "removed"}) {
        HookEvent start = event(Name::sessionStart, id);
        start.transcriptPath = transcript.string();
        adapter->apply(start);
        adapter->apply(event(Name::userPromptSubmit, id));
        EXPECT_TRUE(adapter->hasTailer("claude:" + id));
        EXPECT_TRUE(adapter->hasIdleDoneTimer("claude:" + id));
    }
    auto held = hold(toolEvent(Name::preToolUse, "Bash", std::nullopt, "removed"));

    // Past its cap the store drops the oldest working session, which is ours.
    clock.advance(1s);
    for (int i = 0; store.sessions().size() < SessionStore::kMaxLiveSessions; ++i) {
        Session other;
        other.id = "other:w" + std::to_string(i);
        other.status = SessionStatus::Working{};
        other.updatedAt = clock.now();
        store.upsert(other);
    }
    Session oneMore;
    oneMore.id = "other:one-more";
    store.upsert(oneMore);
    ASSERT_FALSE(store.session("claude:capped"));
    EXPECT_FALSE(adapter->hasTailer("claude:capped"));
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:capped"));

    store.remove("claude:removed");
    EXPECT_FALSE(adapter->hasTailer("claude:removed"));
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:removed"));
    EXPECT_FALSE(adapter->holdsDecision("claude:removed"));
    EXPECT_EQ(held->outcome(), "");
}

TEST_F(HookAdapterTest, HooksAreHealedOnEveryTenthTick)
{
    const auto config = home.path() / ".codex" / "hooks.json";
    clock.advance(540s);
    drain(workers);
    EXPECT_FALSE(std::filesystem::exists(config));
    clock.advance(60s);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(config); }));
    EXPECT_TRUE(HookInstaller::hooksInstalled(profile->target));

    std::filesystem::remove(config);
    clock.advance(540s);
    drain(workers);
    EXPECT_FALSE(std::filesystem::exists(config));
    clock.advance(60s);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(config); }));
}

TEST_F(HookAdapterTest, RestoredWorkingSessionsBecomeIdleAndAreTailedAgain)
{
    profile->parser = TranscriptParser::parse;
    Session working;
    working.id = "claude:r1";
    working.status = SessionStatus::Working{"$ make"};
    working.transcriptPath = (home.path() / "r1.jsonl").string();
    store.upsert(working);
    Session waiting = working;
    waiting.id = "claude:r2";
    waiting.status = SessionStatus::WaitingForInput{oneQuestion("Which?")};
    waiting.transcriptPath.reset();
    store.upsert(waiting);
    Session other = working;
    other.id = "codex:r3";
    other.agent = AgentKind::codex;
    store.upsert(other);

    adapter->resumeRestoredSessions();
    EXPECT_TRUE(session("claude:r1").status.is<SessionStatus::Idle>());
    EXPECT_TRUE(adapter->hasTailer("claude:r1"));
    EXPECT_TRUE(session("claude:r2").status.is<SessionStatus::WaitingForInput>());
    EXPECT_FALSE(adapter->hasTailer("claude:r2"));
    EXPECT_TRUE(session("codex:r3").status.is<SessionStatus::Working>());
    EXPECT_FALSE(adapter->hasTailer("codex:r3"));
}

TEST_F(HookAdapterTest, TailerFollowsTheTranscriptIntoTheSession)
{
    TemporaryFolder folder;
    const auto transcript = folder.path() / "t.jsonl";
    std::ofstream(transcript)
        << R"({"type":"assistant","message":{"model":"claude-sonnet-4-5","content":[{"type":"text","text":"All done."}],)"
           R"("usage":{"input_tokens":50000}}})"
        << "\n"
        << R"({"type":"ai-title","aiTitle":"Fix the build"})"
        << "\n";
    profile->parser = TranscriptParser::parse;
    HookEvent start = event(Name::sessionStart);
    start.transcriptPath = transcript.string();
    adapter->apply(start);
    ASSERT_TRUE(waitUntil([&] { return session().context.has_value(); }));
    EXPECT_EQ(session().context, (ContextUsage{50000, 200000, "claude-sonnet-4-5"}));
    EXPECT_EQ(session().aiTitle, "Fix the build");

    // A later event with another path does not replace the tailer.
    start.transcriptPath = (folder.path() / "other.jsonl").string();
    adapter->apply(start);
    EXPECT_TRUE(adapter->hasTailer("claude:s1"));
}

TEST_F(HookAdapterTest, StoppedAdapterWithdrawsItsResolverAndTimers)
{
    EXPECT_EQ(dispatcher.resolver(AgentKind::claudeCode), adapter.get());
    remake({.infersDoneWhenIdle = true});
    EXPECT_TRUE(adapter->isStarted());
    adapter->apply(event(Name::userPromptSubmit));
    adapter->stop();
    EXPECT_EQ(dispatcher.resolver(AgentKind::claudeCode), nullptr);
    EXPECT_FALSE(adapter->isStarted());
    EXPECT_FALSE(adapter->hasIdleDoneTimer("claude:s1"));
}
