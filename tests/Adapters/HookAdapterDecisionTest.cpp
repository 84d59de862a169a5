#include "Adapters/HookAdapterFixture.h"
#include "support/WaitUntil.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;
using nlohmann::json;
using Name = HookEvent::Name;

namespace {

class HookAdapterDecisionTest : public HookAdapterFixture
{
  protected:
    const ToolDetail bash = ToolDetail::parse("Bash", {{"command", "rm -rf build"}});

    HookEvent bashRequest(std::string session = "s1") const
    {
        return toolEvent(Name::permissionRequest, "Bash", bash, std::move(session));
    }
    HookEvent questionRequest() const
    {
        const json questions = json::array(
            {{{"question", "Which database?"}, {"options", {{{"label", "Postgres"}}, {{"label", "SQLite"}}}}},
             {{"question", "Add tests?"}, {"options", {{{"label", "Yes"}}, {{"label", "No"}}}}}});
        HookEvent request = toolEvent(Name::permissionRequest, "AskUserQuestion",
                                      ToolDetail::parse("AskUserQuestion", {{"questions", questions}}));
        request.rawQuestionsJSON = questions.dump();
        return request;
    }
    TranscriptSnapshot results(std::int64_t unattributed,
                               std::map<std::string, std::int64_t> byName = {}) const
    {
        TranscriptSnapshot snapshot;
        snapshot.unattributedToolResults = unattributed;
        snapshot.toolResultsByName = std::move(byName);
        snapshot.toolResultCount = unattributed;
        for (const auto& [name, count] : snapshot.toolResultsByName)
            snapshot.toolResultCount += count;
        return snapshot;
    }
};

} // namespace

TEST_F(HookAdapterDecisionTest, HeldRequestIsShownAndAnsweredOnce)
{
    auto client = hold(bashRequest());
    EXPECT_TRUE(adapter->holdsDecision("claude:s1"));
    EXPECT_EQ(client->outcome(), std::nullopt);
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::NeedsPermission{
                                    PermissionRequest{"Bash", bash.title(), bash, false}}));
    EXPECT_EQ(session().lastActivity, bash.title());

    EXPECT_TRUE(adapter->resolveDecision(ControlAction::approve(GrantScope::once), "claude:s1"));
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::approve(GrantScope::once), "claude:s1"));
    EXPECT_EQ(client->replyJson(), (json{{"allow", true}}));
    EXPECT_TRUE(session().status.is<SessionStatus::Idle>());
    EXPECT_EQ(session().lastActivity, "Allowed from notch");
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::deny(), "claude:nothing"));
}

TEST_F(HookAdapterDecisionTest, EachActionSendsItsReplyAndLeavesItsNote)
{
    HookEvent withSuggestions = bashRequest();
    withSuggestions.permissionSuggestionsJSON =
        R"([{"type":"addRules","rules":[{"toolName":"Bash"}],"destination":"session"},{"type":"setMode","mode":"acceptEdits"}])";
    HookEvent plan = toolEvent(Name::permissionRequest, "ExitPlanMode", ToolDetail::Plan{"1. build"});
    plan.rawPlan = "1. build";
    struct Case
    {
        std::string name;
        HookEvent request;
        ControlAction action;
        json reply;
        std::string note;
    };
    const std::vector<Case> cases{
        {"once",
         bashRequest(),
         ControlAction::approve(GrantScope::once),
         {{"allow", true}},
         "Allowed from notch"},
        {"always with suggestions",
         withSuggestions,
         ControlAction::approve(GrantScope::always),
         {{"allow", true},
          {"permissions",
           json::array(
               {{{"type", "addRules"}, {"rules", {{{"toolName", "Bash"}}}}, {"destination", "localSettings"}},
                {{"type", "setMode"}, {"mode", "acceptEdits"}, {"destination", "localSettings"}}})}},
         "Allowed (always) from notch"},
        {"always without suggestions",
         bashRequest(),
         ControlAction::approve(GrantScope::always),
         {{"allow", true}},
         "Allowed (always) from notch"},
        {"session",
         bashRequest(),
         ControlAction::approve(GrantScope::session),
         {{"allow", true}},
         "Allowed (session) from notch"},
        {"plan with a mode",
         plan,
         ControlAction::approvePlan("acceptEdits"),
         {{"allow", true},
          {"input", {{"plan", "1. build"}}},
          {"permissions",
           json::array({{{"type", "setMode"}, {"mode", "acceptEdits"}, {"destination", "session"}}})}},
         "Plan approved (acceptEdits) from notch"},
        {"plan without a mode",
         plan,
         ControlAction::approvePlan(std::nullopt),
         {{"allow", true}, {"input", {{"plan", "1. build"}}}},
         "Plan approved from notch"},
        {"feedback",
         bashRequest(),
         ControlAction::denyWithMessage("use make clean"),
         {{"deny", "use make clean"}},
         "Sent feedback from notch"},
        {"deny",
         bashRequest(),
         ControlAction::deny(),
         {{"deny", "Denied from Velquist"}},
         "Denied from notch"},
        {"answer",
         questionRequest(),
         ControlAction::answer({{1}, {0}}),
         {{"allow", true},
          {"input",
           {{"questions", json::parse(*questionRequest().rawQuestionsJSON)},
            {"answers", {{"Which database?", "SQLite"}, {"Add tests?", "Yes"}}}}}},
         "Answered from notch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.remove("claude:s1");
        auto client = hold(c.request);
        EXPECT_TRUE(adapter->resolveDecision(c.action, "claude:s1"));
        EXPECT_EQ(client->replyJson(), c.reply);
        EXPECT_EQ(session().lastActivity, c.note);
        EXPECT_EQ(session().autoApprovePermissions, c.name == "session");
    }
}

TEST_F(HookAdapterDecisionTest, VerbatimPlanFromTheToolUseWinsOverTheRequestsOwn)
{
    HookEvent announced = toolEvent(Name::preToolUse, "ExitPlanMode", ToolDetail::Plan{"plan"});
    announced.rawPlan = "# Plan\n\n1. exactly this";
    adapter->apply(announced);
    HookEvent request = toolEvent(Name::permissionRequest, "ExitPlanMode", ToolDetail::Plan{"plan"});
    request.rawPlan = "plan, reformatted";
    auto client = hold(request);
    ASSERT_TRUE(adapter->resolveDecision(ControlAction::approvePlan(std::nullopt), "claude:s1"));
    EXPECT_EQ(client->replyJson()["input"]["plan"], "# Plan\n\n1. exactly this");
}

TEST_F(HookAdapterDecisionTest, AlwaysAllowIsOfferedOnlyWithSuggestionsTheAgentTakesBack)
{
    const std::vector<std::tuple<std::optional<std::string>, bool, bool>> cases{
        {R"([{"type":"addRules"}])", true, true},
        {R"([{"type":"addRules"}])", false, false},
        {R"([])", true, false},
        {R"([{"type":"addRules"}, 3])", true, false},
        {R"({"type":"addRules"})", true, false},
        {"not json", true, false},
        {std::nullopt, true, false},
    };
    for (const auto& [suggestions, forwards, offered] : cases) {
        SCOPED_TRACE(suggestions.value_or("none"));
        remake({.forwardsUpdatedPermissions = forwards});
        HookEvent request = bashRequest();
        request.permissionSuggestionsJSON = suggestions;
        auto client = hold(request);
        EXPECT_EQ(session().status.as<SessionStatus::NeedsPermission>()->request.supportsAlwaysAllow,
                  offered);
    }
}

TEST_F(HookAdapterDecisionTest, AnswerThatDoesNotFitKeepsTheQuestionHeld)
{
    auto client = hold(questionRequest());
    EXPECT_TRUE(session().status.is<SessionStatus::WaitingForInput>());
    EXPECT_EQ(session().lastActivity, "Which database?");
    for (const auto& selections : std::vector<std::vector<std::vector<int>>>{{{1}}, {{1}, {}}, {{1}, {5}}}) {
        EXPECT_FALSE(adapter->resolveDecision(ControlAction::answer(selections), "claude:s1"));
        EXPECT_EQ(client->outcome(), std::nullopt);
    }
    EXPECT_TRUE(adapter->resolveDecision(ControlAction::answer({{0}, {1}}), "claude:s1"));
}

TEST_F(HookAdapterDecisionTest, SecondRequestOfASessionReplacesTheFirst)
{
    auto first = hold(bashRequest());
    auto second = hold(toolEvent(Name::permissionRequest, "Write",
                                 ToolDetail::parse("Write", {{"file_path", "/tmp/x"}, {"content", "x"}})));
    EXPECT_EQ(first->outcome(), "");
    EXPECT_EQ(session().status.as<SessionStatus::NeedsPermission>()->request.toolName, "Write");
    EXPECT_TRUE(adapter->resolveDecision(ControlAction::deny(), "claude:s1"));
    EXPECT_EQ(second->replyJson(), (json{{"deny", "Denied from Velquist"}}));
}

TEST_F(HookAdapterDecisionTest, SessionGrantAnswersLaterRequestsButNotQuestions)
{
    auto first = hold(bashRequest());
    ASSERT_TRUE(adapter->resolveDecision(ControlAction::approve(GrantScope::session), "claude:s1"));
    auto next = hold(bashRequest());
    EXPECT_EQ(next->replyJson(), (json{{"allow", true}}));
    EXPECT_FALSE(adapter->holdsDecision("claude:s1"));
    EXPECT_TRUE(session().status.is<SessionStatus::Idle>());

    auto question = hold(questionRequest());
    EXPECT_EQ(question->outcome(), std::nullopt);
    EXPECT_TRUE(session().status.is<SessionStatus::WaitingForInput>());
}

TEST_F(HookAdapterDecisionTest, ReadOnlyToolsAreAllowedAtOnceWhereTheEngineWantsIt)
{
    const HookEvent read = toolEvent(Name::permissionRequest, "read_file", ToolDetail::Read{"/src/main.c"});
    auto held = hold(read);
    EXPECT_EQ(held->outcome(), std::nullopt);

    remake({.autoApprovesReadOnlyTools = true, .infersDoneWhenIdle = true});
    auto allowed = hold(read);
    EXPECT_EQ(allowed->replyJson(), (json{{"allow", true}}));
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Working{read.activity}));
    EXPECT_TRUE(adapter->hasIdleDoneTimer("claude:s1"));
    auto search =
        hold(toolEvent(Name::permissionRequest, "grep", ToolDetail::Search{"Search", "TODO", std::nullopt}));
    EXPECT_EQ(search->replyJson(), (json{{"allow", true}}));
    auto shell = hold(bashRequest());
    EXPECT_EQ(shell->outcome(), std::nullopt);
}

TEST_F(HookAdapterDecisionTest, RequestWithoutWaitingClientCancelsTheHeldOne)
{
    auto client = hold(bashRequest());
    adapter->apply(toolEvent(Name::permissionRequest, "Edit", std::nullopt));
    EXPECT_EQ(client->outcome(), "");
    EXPECT_FALSE(adapter->holdsDecision("claude:s1"));
    EXPECT_EQ(session().status.as<SessionStatus::NeedsPermission>()->request.toolName, "Edit");
}

TEST_F(HookAdapterDecisionTest, FinishedToolSettlesOnlyItsOwnRequest)
{
    struct Case
    {
        std::string name;
        std::optional<std::string> heldTool;
        std::optional<std::string> finishedTool;
        bool settled;
    };
    const std::vector<Case> cases{
        {"another tool", "Bash", "Read", false},
        {"the same tool", "Bash", "Bash", true},
        {"held tool unnamed", std::nullopt, "Read", true},
        {"finished tool unnamed", "Bash", std::nullopt, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HookEvent request = event(Name::permissionRequest);
        request.toolName = c.heldTool;
        auto client = hold(request);
        HookEvent finished = event(Name::postToolUse);
        finished.toolName = c.finishedTool;
        adapter->apply(finished);
        EXPECT_EQ(client->outcome().has_value(), c.settled);
        EXPECT_EQ(adapter->holdsDecision("claude:s1"), !c.settled);
        adapter->cancelPendingDecision("claude:s1");
    }
}

TEST_F(HookAdapterDecisionTest, TranscriptResultOfTheHeldToolMeansItWasAnsweredInTheTerminal)
{
    struct Case
    {
        std::string name;
        TranscriptSnapshot next;
        bool settled;
    };
    const std::vector<Case> cases{
        {"a parallel read's result", results(0, {{"Read", 1}}), false},
        {"the held tool's result", results(0, {{"Bash", 1}}), true},
        {"a result tied to no call", results(1), true},
        {"no new result", results(0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        adapter->apply(event(Name::sessionEnd));
        clock.advance(2s);
        auto client = hold(bashRequest());
        adapter->applyTranscript(results(0), "claude:s1");
        adapter->applyTranscript(c.next, "claude:s1");
        EXPECT_EQ(client->outcome().has_value(), c.settled);
        if (c.settled) {
            EXPECT_EQ(client->outcome(), "");
            EXPECT_TRUE(session().status.is<SessionStatus::Idle>());
            EXPECT_EQ(session().lastActivity, "Resolved in terminal");
        } else {
            EXPECT_TRUE(session().status.is<SessionStatus::NeedsPermission>());
        }
    }
}

TEST_F(HookAdapterDecisionTest, FirstSnapshotAndAReplacedFileAreBaselinesNotGrowth)
{
    auto client = hold(bashRequest());
    adapter->applyTranscript(results(7), "claude:s1");
    EXPECT_EQ(client->outcome(), std::nullopt);
    TranscriptSnapshot replaced = results(3);
    replaced.generation = 1;
    adapter->applyTranscript(replaced, "claude:s1");
    EXPECT_EQ(client->outcome(), std::nullopt);
    replaced = results(4);
    replaced.generation = 1;
    adapter->applyTranscript(replaced, "claude:s1");
    EXPECT_EQ(client->outcome(), "");
}

TEST_F(HookAdapterDecisionTest, TranscriptFillsContextTitleAndSummaries)
{
    adapter->apply(event(Name::userPromptSubmit));
    TranscriptSnapshot snapshot;
    snapshot.contextTokens = 250000;
    snapshot.contextModel = "claude-opus";
    snapshot.aiTitle = "Fix it";
    snapshot.lastToolActivity = "$ make";
    adapter->applyTranscript(snapshot, "claude:s1");
    EXPECT_EQ(session().context, (ContextUsage{250000, 1000000, "claude-opus"}));
    EXPECT_EQ(session().aiTitle, "Fix it");
    EXPECT_EQ(session().lastActivity, "$ make");
    // The window stays at the largest size seen, while the usage is the current count.
    snapshot.contextTokens = 1000;
    adapter->applyTranscript(snapshot, "claude:s1");
    EXPECT_EQ(session().context, (ContextUsage{1000, 1000000, "claude-opus"}));

    adapter->apply(event(Name::stop));
    snapshot.lastAssistantText = std::string(130, 'y');
    adapter->applyTranscript(snapshot, "claude:s1");
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Done{std::string(119, 'y') + "\u2026"}));

    // An idle session whose transcript shows a new tool in use is working again.
    auto client = hold(bashRequest());
    ASSERT_TRUE(adapter->resolveDecision(ControlAction::approve(GrantScope::once), "claude:s1"));
    snapshot.lastToolActivity = "$ rm -rf build";
    adapter->applyTranscript(snapshot, "claude:s1");
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Working{"$ rm -rf build"}));
}

TEST_F(HookAdapterDecisionTest, EncoderFailureLeavesTheRequestUnresolved)
{
    auto client = hold(bashRequest());
    profile->failEncoding = true;
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::approve(GrantScope::session), "claude:s1"));
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::deny(), "claude:s1"));
    EXPECT_EQ(client->outcome(), std::nullopt);
    EXPECT_TRUE(adapter->holdsDecision("claude:s1"));
    EXPECT_TRUE(session().status.is<SessionStatus::NeedsPermission>());
    EXPECT_FALSE(session().autoApprovePermissions);
    EXPECT_NE(session().lastActivity, "Allowed (session) from notch");

    // A session grant that cannot be encoded holds the next request instead of dropping it.
    profile->failEncoding = false;
    ASSERT_TRUE(adapter->resolveDecision(ControlAction::approve(GrantScope::session), "claude:s1"));
    profile->failEncoding = true;
    auto next = hold(bashRequest());
    EXPECT_EQ(next->outcome(), std::nullopt);
    EXPECT_TRUE(adapter->holdsDecision("claude:s1"));
}

TEST_F(HookAdapterDecisionTest, ReplyTheClientCannotReceiveIsAFailureAndTheDispatcherTurnsToTheTerminal)
{
    auto client = hold(bashRequest());
    client->hangUp();
    const auto& jumps = jumper.jumps;
    dispatcher.performNow(ControlAction::approve(GrantScope::once), session());
    EXPECT_FALSE(adapter->holdsDecision("claude:s1"));
    EXPECT_TRUE(session().status.is<SessionStatus::NeedsPermission>());
    EXPECT_NE(session().lastActivity, "Allowed from notch");
    ASSERT_TRUE(waitUntil([&] { return !jumps.empty(); }));
    EXPECT_EQ(jumps, std::vector<std::string>{"claude:s1"});
}

TEST_F(HookAdapterDecisionTest, RequestWhoseClientWentAwayIsReleased)
{
    auto client = hold(bashRequest());
    auto other = hold(bashRequest("s2"));
    client->hangUp();
    ASSERT_TRUE(waitUntil([&] { return !adapter->holdsDecision("claude:s1"); }));
    EXPECT_TRUE(adapter->holdsDecision("claude:s2"));
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::approve(GrantScope::once), "claude:s1"));
    EXPECT_TRUE(adapter->resolveDecision(ControlAction::approve(GrantScope::once), "claude:s2"));
}

TEST_F(HookAdapterDecisionTest, WriteRequestLearnsWhetherItOverwritesAFile)
{
    TemporaryFolder folder;
    std::ofstream(folder.path() / "notes.txt") << "one\ntwo\n";
    HookEvent start = event(Name::sessionStart);
    start.cwd = folder.path().string();
    adapter->apply(start);
    auto client =
        hold(toolEvent(Name::permissionRequest, "Write",
                       ToolDetail::parse("Write", {{"file_path", "notes.txt"}, {"content", "three"}})));
    auto note = [&] {
        const auto* asking = session().status.as<SessionStatus::NeedsPermission>();
        return asking && asking->request.tool ? asking->request.tool->riskNote() : std::nullopt;
    };
    ASSERT_TRUE(waitUntil([&] { return note().has_value(); }));
    EXPECT_NE(note()->find("Overwrites"), std::string::npos);
    EXPECT_TRUE(adapter->holdsDecision("claude:s1"));
}

TEST_F(HookAdapterDecisionTest, SessionWhoseRequestLostItsClientGoesBackToWhatItShowedWithoutIt)
{
    const auto question =
        ToolDetail::Question{AgentInquiry{{AgentQuestion{"Which?", {}, std::nullopt, false}}}};
    std::vector<std::unique_ptr<WaitingClient>> earlier;
    struct Case
    {
        std::string name;
        std::function<void(const std::string&)> before;  // brings the session into its starting state
        std::function<void(const std::string&)> between; // while the request is held
        SessionStatus status;
    };
    const std::vector<Case> cases{
        {"working on the tool",
         [&](const std::string& id) { adapter->apply(toolEvent(Name::preToolUse, "Bash", bash, id)); },
         [](const std::string&) {}, SessionStatus::Working{bash.title()}},
        {"a session the request started", [](const std::string&) {}, [](const std::string&) {},
         SessionStatus::Idle{}},
        {"a request that replaced an earlier one",
         [&](const std::string& id) {
             adapter->apply(toolEvent(Name::preToolUse, "Bash", bash, id));
             earlier.push_back(hold(toolEvent(Name::permissionRequest, "Edit", std::nullopt, id)));
         },
         [](const std::string&) {}, SessionStatus::Working{bash.title()}},
        {"a question asked since stays",
         [&](const std::string& id) { adapter->apply(toolEvent(Name::preToolUse, "Bash", bash, id)); },
         [&](const std::string& id) {
             adapter->apply(toolEvent(Name::preToolUse, "AskUserQuestion", question, id));
         },
         SessionStatus::WaitingForInput{question.inquiry}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string id = "c" + std::to_string(i);
        c.before(id);
        auto client = hold(bashRequest(id));
        EXPECT_TRUE(session("claude:" + id).status.is<SessionStatus::NeedsPermission>());
        c.between(id);
        client->hangUp();
        ASSERT_TRUE(waitUntil([&] { return !adapter->holdsDecision("claude:" + id); }));
        EXPECT_EQ(session("claude:" + id).status, c.status);
    }
}
