#include "Adapters/OpenCodeAdapterFixture.h"
#include "Adapters/OpenCodeEventStream.h"
#include "Terminal/TerminalBinder.h"
#include "support/RecordingAppRegistry.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;
using Update = OpenCodeUpdate;

namespace {

const std::string kServer = "http://127.0.0.1:4096";
const std::string kSession = "opencode:ses_A";

AgentInquiry twoQuestions()
{
    return AgentInquiry{{
        AgentQuestion{"Colour?",
                      {QuestionOption{"Red", std::nullopt}, QuestionOption{"Blue", std::nullopt}},
                      std::nullopt,
                      false},
        AgentQuestion{"Sizes?",
                      {QuestionOption{"S", std::nullopt}, QuestionOption{"M", std::nullopt},
                       QuestionOption{"L", std::nullopt}},
                      std::nullopt,
                      true},
    }};
}

ToolDetail bash(const std::string& command)
{
    return ToolDetail::parse("bash", nlohmann::json{{"command", command}});
}

class OpenCodeAdapterTest : public OpenCodeAdapterFixture
{
};

TEST_F(OpenCodeAdapterTest, FirstSessionEventMakesAnIdleSessionLaterOnesMoveOnlyItsFolder)
{
    clock.advance(5s);
    feed(Update::Upsert{"ses_A", "/proj", "New session"});
    const Session& made = session();
    EXPECT_EQ(made.agent, AgentKind::opencode);
    EXPECT_EQ(made.cwd, "/proj");
    EXPECT_EQ(made.status, SessionStatus(SessionStatus::Idle{}));
    EXPECT_EQ(made.lastActivity, "New session");
    EXPECT_EQ(made.terminal.ownerPID, 4242);
    EXPECT_EQ(made.startedAt, clock.now());

    feed(Update::Upsert{"ses_A", "/elsewhere", "Renamed"});
    EXPECT_EQ(session().cwd, "/elsewhere");
    EXPECT_EQ(session().lastActivity, "New session");
    feed(Update::Upsert{"ses_B", std::nullopt, std::nullopt});
    EXPECT_EQ(session("opencode:ses_B").cwd, "unknown");
}

TEST_F(OpenCodeAdapterTest, NewSessionIsBoundToTheApplicationItsServerRunsIn)
{
    RecordingAppRegistry registry;
    registry.add(RunningApp{4242, "org.example.Terminal", "Terminal", true});
    TerminalBinder binder(registry);
    OpenCodeAdapter bound(store, OpenCodeAdapter::Services{clock, clock, dispatcher, &binder,
                                                           folder.path() / "settings.json",
                                                           [] { return std::vector<OpenCodeServer>{}; }});
    bound.apply(OpenCodeUpdate{Update::Upsert{"ses_A", "/proj", std::nullopt}}, kServer, 4242,
                OpenCodeApi::v2);
    ASSERT_TRUE(waitUntil([&] { return session().terminal.appName.has_value(); }));
    EXPECT_EQ(session().terminal.appName, "Terminal");
    EXPECT_EQ(session().terminal.bundleID, "org.example.Terminal");
}

TEST_F(OpenCodeAdapterTest, IdleGivesADoneSummaryOfTheLastTextUnlessARequestIsHeld)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += "line " + std::to_string(i) + " x\n";
    feed(Update::AssistantText{"ses_A", text.substr(0, 130)});
    feed(Update::Idle{"ses_A"});
    const auto* done = session().status.as<SessionStatus::Done>();
    ASSERT_TRUE(done);
    ASSERT_TRUE(done->summary);
    EXPECT_EQ(done->summary->find('\n'), std::string::npos);
    EXPECT_EQ(*done->summary, [&] {
        std::string flat = text.substr(0, 119);
        std::replace(flat.begin(), flat.end(), '\n', ' ');
        return flat + "\u2026";
    }());

    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", std::nullopt});
    feed(Update::Idle{"ses_A"});
    EXPECT_TRUE(session().status.is<SessionStatus::NeedsPermission>());
}

TEST_F(OpenCodeAdapterTest, PermissionShowsTheRememberedToolOfItsCall)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::ToolActivity{"ses_A", "$ rm -rf build", bash("rm -rf build"), "call_1"});
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Working{"$ rm -rf build"}));

    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", "call_1"});
    const auto* asked = session().status.as<SessionStatus::NeedsPermission>();
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->request.toolName, bash("rm -rf build").title());
    EXPECT_EQ(asked->request.summary, bash("rm -rf build").title());
    EXPECT_EQ(asked->request.tool, bash("rm -rf build"));
    EXPECT_FALSE(asked->request.supportsAlwaysAllow);
    EXPECT_TRUE(adapter->holdsRequest(kSession));

    feed(Update::PermissionAsked{"ses_A", "per_2", "edit", "call_unknown"});
    asked = session().status.as<SessionStatus::NeedsPermission>();
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->request.toolName, "a tool");
    EXPECT_EQ(asked->request.summary, "edit");
    EXPECT_EQ(session().lastActivity, "edit");
}

TEST_F(OpenCodeAdapterTest, HeldPermissionShowsTheInputOfItsCallThatArrivesLater)
{
    // As a server sends it: the call's "pending" part has no input yet, the permission follows,
    // and the "running" part with the command comes after it.
    feed(Update::Upsert{"ses_A", "/p", std::nullopt}, OpenCodeApi::original);
    feed(Update::ToolActivity{"ses_A", "bash", ToolDetail::parse("bash", nlohmann::json::object()),
                              "call_abc"},
         OpenCodeApi::original);
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", "call_abc"}, OpenCodeApi::original);
    feed(Update::ToolActivity{"ses_A", "$ ls", bash("ls"), "call_other"}, OpenCodeApi::original);
    EXPECT_NE(session().status.as<SessionStatus::NeedsPermission>()->request.tool, bash("ls"));

    feed(Update::ToolActivity{"ses_A", "$ ls -la", bash("ls -la"), "call_abc"}, OpenCodeApi::original);
    const auto* asked = session().status.as<SessionStatus::NeedsPermission>();
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->request.tool, bash("ls -la"));
    EXPECT_EQ(asked->request.summary, bash("ls -la").title());
    EXPECT_EQ(session().lastActivity, bash("ls -la").title());
    EXPECT_TRUE(adapter->holdsRequest(kSession));
}

TEST_F(OpenCodeAdapterTest, ToolActivityWhileWaitingIsOnlyRemembered)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::QuestionAsked{"ses_A", "que_1", twoQuestions()});
    EXPECT_EQ(session().lastActivity, "Colour?");
    feed(Update::ToolActivity{"ses_A", "$ ls", bash("ls"), "call_7"});
    feed(Update::Busy{"ses_A"});
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::WaitingForInput{twoQuestions()}));
    EXPECT_EQ(adapter->rememberedToolCount(), 1u);
}

TEST_F(OpenCodeAdapterTest, ToolHistoryKeepsTheNewest256Calls)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    for (int i = 0; i <= 256; ++i)
        feed(Update::ToolActivity{"ses_A", "x", bash("cmd " + std::to_string(i)),
                                  "call_" + std::to_string(i)});
    EXPECT_EQ(adapter->rememberedToolCount(), 256u);
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", "call_0"});
    EXPECT_EQ(session().status.as<SessionStatus::NeedsPermission>()->request.toolName, "a tool");
    feed(Update::PermissionAsked{"ses_A", "per_2", "bash", "call_1"});
    EXPECT_EQ(session().status.as<SessionStatus::NeedsPermission>()->request.tool, bash("cmd 1"));
}

TEST_F(OpenCodeAdapterTest, ResolvedReleasesOnlyTheHeldRequest)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", std::nullopt});
    feed(Update::PermissionAsked{"ses_A", "per_2", "edit", std::nullopt});
    // A late notice about the replaced request does not release the newer one.
    feed(Update::Resolved{"ses_A", "per_1"}, OpenCodeApi::original);
    EXPECT_TRUE(adapter->holdsRequest(kSession));
    EXPECT_TRUE(session().status.is<SessionStatus::NeedsPermission>());

    feed(Update::Resolved{"ses_A", "per_2"}, OpenCodeApi::original);
    EXPECT_FALSE(adapter->holdsRequest(kSession));
    EXPECT_EQ(session().status, SessionStatus(SessionStatus::Idle{}));
    EXPECT_EQ(session().lastActivity, "Resolved");

    feed(Update::ToolActivity{"ses_A", "$ ls", std::nullopt, std::nullopt});
    feed(Update::Resolved{"ses_A", std::nullopt});
    EXPECT_TRUE(session().status.is<SessionStatus::Working>());
}

TEST_F(OpenCodeAdapterTest, ARequestForASessionNotSeenYetShowsIt)
{
    // A terminal session made before the stream was opened announces itself only by its events.
    feed(Update::PermissionAsked{"ses_Z", "per_1", "bash", std::nullopt}, OpenCodeApi::original);
    const Session& shown = session("opencode:ses_Z");
    EXPECT_TRUE(shown.status.is<SessionStatus::NeedsPermission>());
    EXPECT_EQ(shown.cwd, "unknown");
    // Activity of an unknown session does not make one.
    feed(Update::ToolActivity{"ses_Y", "$ ls", std::nullopt, std::nullopt});
    feed(Update::Idle{"ses_Y"});
    EXPECT_EQ(store.session("opencode:ses_Y"), nullptr);
}

TEST_F(OpenCodeAdapterTest, ContextLimitFollowsTheObservedTokens)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::Context{"ses_A", 250000, "anthropic/some-model"});
    EXPECT_EQ(session().context, (ContextUsage{250000, 1000000, "anthropic/some-model"}));
    feed(Update::Context{"ses_A", 1000, std::nullopt});
    EXPECT_EQ(session().context, (ContextUsage{1000, 200000, std::nullopt}));
}

TEST_F(OpenCodeAdapterTest, RemovedForgetsTheSession)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", std::nullopt});
    feed(Update::Removed{"ses_A"});
    EXPECT_EQ(store.session(kSession), nullptr);
    EXPECT_FALSE(adapter->holdsRequest(kSession));
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::deny(), kSession));
}

TEST_F(OpenCodeAdapterTest, ASessionTheStoreDropsTakesItsHeldRequestAlong)
{
    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", std::nullopt});
    store.remove(kSession);
    EXPECT_FALSE(adapter->holdsRequest(kSession));
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::deny(), kSession));
}

TEST_F(OpenCodeAdapterTest, ServerGoneRemovesItsSessionsButAFailedScanKeepsThem)
{
    adapter->reconcile({OpenCodeServer{10, 4096, true}, OpenCodeServer{11, 4097, false}});
    EXPECT_EQ(adapter->serverBases(),
              (std::vector<std::string>{"http://127.0.0.1:4096", "http://[::1]:4097"}));
    ASSERT_TRUE(adapter->stream("http://[::1]:4097", OpenCodeApi::v2));
    EXPECT_EQ(adapter->stream("http://[::1]:4097", OpenCodeApi::v2)->eventURL().toString(),
              "http://[::1]:4097/api/event");
    EXPECT_EQ(adapter->stream("http://[::1]:4097", OpenCodeApi::original)->eventURL().toString(),
              "http://[::1]:4097/event");
    feed(Update::Upsert{"ses_A", "/p", std::nullopt}, OpenCodeApi::original, "http://127.0.0.1:4096");
    feed(Update::PermissionAsked{"ses_A", "per_1", "bash", std::nullopt}, OpenCodeApi::original,
         "http://127.0.0.1:4096");
    feed(Update::Upsert{"ses_B", "/q", std::nullopt}, OpenCodeApi::v2, "http://[::1]:4097");

    setServers(std::nullopt);
    adapter->start();
    ASSERT_TRUE(waitUntil([&] { return !adapter->isDiscovering(); }));
    clock.advance(OpenCodeAdapter::kDiscoveryInterval);
    ASSERT_TRUE(waitUntil([&] { return scans >= 2 && !adapter->isDiscovering(); }));
    EXPECT_NE(store.session(kSession), nullptr);
    EXPECT_TRUE(adapter->holdsRequest(kSession));
    EXPECT_EQ(adapter->serverBases().size(), 2u);

    setServers(std::vector<OpenCodeServer>{OpenCodeServer{11, 4097, false}});
    clock.advance(OpenCodeAdapter::kDiscoveryInterval);
    ASSERT_TRUE(waitUntil([&] { return adapter->serverBases().size() == 1; }));
    EXPECT_EQ(store.session(kSession), nullptr);
    EXPECT_FALSE(adapter->holdsRequest(kSession));
    EXPECT_NE(store.session("opencode:ses_B"), nullptr);
}

TEST_F(OpenCodeAdapterTest, ADiscoveryStillRunningIsNotStartedAgain)
{
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    OpenCodeAdapter slow(
        store, OpenCodeAdapter::Services{clock, clock, dispatcher, nullptr, folder.path() / "s.json", [&] {
                                             ++calls;
                                             while (!release)
                                                 std::this_thread::sleep_for(1ms);
                                             return std::optional<std::vector<OpenCodeServer>>{};
                                         }});
    slow.start();
    EXPECT_TRUE(slow.isDiscovering());
    clock.advance(OpenCodeAdapter::kDiscoveryInterval * 3);
    slow.discover();
    release = true;
    ASSERT_TRUE(waitUntil([&] { return !slow.isDiscovering(); }));
    EXPECT_EQ(calls, 1);
    clock.advance(OpenCodeAdapter::kDiscoveryInterval);
    ASSERT_TRUE(waitUntil([&] { return calls == 2 && !slow.isDiscovering(); }));
    slow.stop();
    EXPECT_EQ(dispatcher.resolver(AgentKind::opencode), &slow);
}

TEST_F(OpenCodeAdapterTest, StartRegistersAndStopEndsEveryStream)
{
    adapter->start();
    EXPECT_EQ(dispatcher.resolver(AgentKind::opencode), adapter.get());
    adapter->reconcile({OpenCodeServer{10, 4096, true}});
    ASSERT_EQ(adapter->serverBases().size(), 1u);
    adapter->stop();
    EXPECT_TRUE(adapter->serverBases().empty());
    adapter->reconcile({OpenCodeServer{10, 4096, true}});
    EXPECT_TRUE(adapter->serverBases().empty());
    waitUntil([&] { return !adapter->isDiscovering(); });
    adapter.reset();
    EXPECT_EQ(dispatcher.resolver(AgentKind::opencode), nullptr);
}

struct ReplyCase
{
    const char* name;
    ControlAction action;
    OpenCodeAdapter::PendingPrompt prompt;
    std::optional<std::string> url;
    std::string body;
    std::string note;
};

TEST(OpenCodeRepliesTest, DecisionsBecomeExactRequests)
{
    const auto permission = [](OpenCodeApi api) {
        return OpenCodeAdapter::PendingPrompt{"per_1", false, std::nullopt, api, std::nullopt};
    };
    const auto question = [](OpenCodeApi api) {
        return OpenCodeAdapter::PendingPrompt{"que_1", true, twoQuestions(), api, std::nullopt};
    };
    const std::string v2Permission = kServer + "/api/session/ses_A/permission/per_1/reply";
    const std::string v2Question = kServer + "/api/session/ses_A/question/que_1/reply";
    const ReplyCase cases[] = {
        {"v2 once", ControlAction::approve(GrantScope::once), permission(OpenCodeApi::v2), v2Permission,
         R"({"reply":"once"})", "Allowed from notch"},
        {"v2 session", ControlAction::approve(GrantScope::session), permission(OpenCodeApi::v2), v2Permission,
         R"({"reply":"once"})", "Allowed (session) from notch"},
        {"v2 always", ControlAction::approve(GrantScope::always), permission(OpenCodeApi::v2), v2Permission,
         R"({"reply":"always"})", "Allowed (always) from notch"},
        {"v2 deny", ControlAction::deny(), permission(OpenCodeApi::v2), v2Permission, R"({"reply":"reject"})",
         "Denied from notch"},
        {"v2 answer", ControlAction::answer({{0}, {1, 2}}), question(OpenCodeApi::v2), v2Question,
         R"({"answers":[["Red"],["M","L"]]})", "Answered from notch"},
        {"original once", ControlAction::approve(GrantScope::once), permission(OpenCodeApi::original),
         kServer + "/permission/per_1/reply", R"({"reply":"once"})", "Allowed from notch"},
        {"original deny", ControlAction::deny(), permission(OpenCodeApi::original),
         kServer + "/permission/per_1/reply", R"({"reply":"reject"})", "Denied from notch"},
        {"original answer keeps the selection order", ControlAction::answer({{1}, {2, 0}}),
         question(OpenCodeApi::original), kServer + "/question/que_1/reply",
         R"({"answers":[["Blue"],["L","S"]]})", "Answered from notch"},
        {"deny on a question", ControlAction::deny(), question(OpenCodeApi::v2), std::nullopt, "", ""},
        {"approve on a question", ControlAction::approve(GrantScope::once), question(OpenCodeApi::v2),
         std::nullopt, "", ""},
        {"answer on a permission", ControlAction::answer({{0}}), permission(OpenCodeApi::v2), std::nullopt,
         "", ""},
        {"deny with a message", ControlAction::denyWithMessage("no"), permission(OpenCodeApi::v2),
         std::nullopt, "", ""},
        {"plan approval", ControlAction::approvePlan(std::nullopt), permission(OpenCodeApi::v2), std::nullopt,
         "", ""},
        {"index past the options", ControlAction::answer({{2}, {0}}), question(OpenCodeApi::v2), std::nullopt,
         "", ""},
        {"empty selection", ControlAction::answer({{0}, {}}), question(OpenCodeApi::v2), std::nullopt, "",
         ""},
        {"negative index", ControlAction::answer({{-1}, {0}}), question(OpenCodeApi::v2), std::nullopt, "",
         ""},
        {"too few lists", ControlAction::answer({{0}}), question(OpenCodeApi::v2), std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        const auto reply = OpenCodeAdapter::buildReply(c.action, c.prompt, kServer, kSession);
        ASSERT_EQ(reply.has_value(), c.url.has_value()) << c.name;
        if (!reply)
            continue;
        EXPECT_EQ(reply->url.toString().toStdString(), *c.url) << c.name;
        EXPECT_EQ(reply->body, c.body) << c.name;
        EXPECT_EQ(reply->note, c.note) << c.name;
    }
}

TEST(OpenCodeRepliesTest, IdsAreEscapedAsPathParts)
{
    EXPECT_EQ(OpenCodeAdapter::replyURL(kServer, OpenCodeApi::v2, false, "opencode:a/b c", "per?x#1")
                  .toString(QUrl::FullyEncoded)
                  .toStdString(),
              kServer + "/api/session/a%2Fb%20c/permission/per%3Fx%231/reply");
    EXPECT_EQ(OpenCodeAdapter::replyURL("http://[::1]:5", OpenCodeApi::original, true, "plain", "q/1")
                  .toString(QUrl::FullyEncoded)
                  .toStdString(),
              "http://[::1]:5/question/q%2F1/reply");
}

TEST(OpenCodeRepliesTest, AnswerLabelsOfNoInquiry)
{
    EXPECT_EQ(OpenCodeAdapter::answerLabels(std::nullopt, {}), std::nullopt);
    EXPECT_EQ(OpenCodeAdapter::answerLabels(AgentInquiry{}, {}), (std::vector<std::vector<std::string>>{}));
}

} // namespace

TEST_F(OpenCodeAdapterTest, NothingIsKeptForASessionTheStoreDoesNotHold)
{
    // A server may name any session id, at any rate: a text or a tool of one that never became a
    // session must not stay behind.
    for (int i = 0; i < 50; ++i) {
        const std::string id = "ses_ghost" + std::to_string(i);
        feed(Update::AssistantText{id, std::string(4096, 'x')});
        feed(Update::ToolActivity{id, "$ ls", bash("ls"), "call_" + std::to_string(i)});
    }
    EXPECT_EQ(adapter->rememberedTextCount(), 0u);
    EXPECT_EQ(adapter->rememberedToolCount(), 0u);

    feed(Update::Upsert{"ses_A", "/p", std::nullopt});
    feed(Update::AssistantText{"ses_A", "All done."});
    feed(Update::ToolActivity{"ses_A", "$ ls", bash("ls"), "call_a"});
    EXPECT_EQ(adapter->rememberedTextCount(), 1u);
    EXPECT_EQ(adapter->rememberedToolCount(), 1u);
}
