#include "Adapters/OpenCodeAdapterFixture.h"
#include "Adapters/OpenCodeEventStream.h"
#include "Adapters/ScriptedOpenCodeServer.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;

namespace {

const std::string kOriginal = "/event";
const std::string kV2 = "/api/event";

std::string created(const std::string& id, const char* envelope)
{
    return R"({"type":"session.created",")" + std::string(envelope) + R"(":{"sessionID":")" + id +
           R"(","info":{"id":")" + id + R"(","directory":"/proj","title":"New session"}}})";
}

// The adapter against a scripted server, found by discovery as this process.
class OpenCodeIntegrationTest : public OpenCodeAdapterFixture
{
  protected:
    void attach(ScriptedOpenCodeServer& target, bool acceptsIPv4 = true)
    {
        ASSERT_TRUE(target.isListening());
        setServers(std::vector<OpenCodeServer>{OpenCodeServer{getpid(), target.port(), acceptsIPv4}});
        adapter->start();
        ASSERT_TRUE(
            waitUntil([&] { return target.openStreams(kOriginal) == 1 && target.openStreams(kV2) == 1; }));
    }

    bool decide(const ControlAction& action, const std::string& id)
    {
        const Session* shown = store.session(id);
        if (!shown)
            return false;
        dispatcher.performNow(action, *shown);
        return true;
    }

    bool waitsForUser(const std::string& id) const
    {
        const Session* shown = store.session(id);
        return shown && shown->status.asksForUser();
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(server.port()); }

    ScriptedOpenCodeServer server;
};

TEST_F(OpenCodeIntegrationTest, TerminalPermissionOnTheOriginalApiIsHeldAndAnsweredThere)
{
    attach(server);
    server.send(kOriginal, created("ses_T", "properties"));
    server.send(
        kOriginal,
        R"({"id":"evt_1","type":"permission.asked","properties":{"id":"per_1","sessionID":"ses_T","permission":"bash","patterns":["ls"],"metadata":{},"always":[]}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_T"); }));
    EXPECT_EQ(session("opencode:ses_T").status.as<SessionStatus::NeedsPermission>()->request.summary, "bash");

    ASSERT_TRUE(decide(ControlAction::approve(GrantScope::once), "opencode:ses_T"));
    ASSERT_TRUE(waitUntil([&] { return !server.posts().empty(); }));
    EXPECT_EQ(server.posts()[0].path, "/permission/per_1/reply");
    EXPECT_EQ(server.posts()[0].body, R"({"reply":"once"})");
    ASSERT_TRUE(waitUntil([&] { return !adapter->holdsRequest("opencode:ses_T"); }));
    EXPECT_EQ(session("opencode:ses_T").status, SessionStatus(SessionStatus::Idle{}));
    EXPECT_EQ(session("opencode:ses_T").lastActivity, "Allowed from notch");
}

// Each request is answered on the API it came from, under the path and in the words that API takes.
TEST_F(OpenCodeIntegrationTest, AnswerIsPostedWhereItsApiTakesIt)
{
    struct Case
    {
        const char* name;
        std::string stream;
        const char* envelope;
        std::string id;
        std::string asked;
        ControlAction action;
        std::string path;
        std::string body;
        std::string activity;
    };
    const Case cases[] = {
        {"permission on the new API, denied", kV2, "data", "ses_B",
         R"({"type":"permission.v2.asked","data":{"id":"per_2","sessionID":"ses_B","action":"edit","resources":[]}})",
         ControlAction::deny(), "/api/session/ses_B/permission/per_2/reply", R"({"reply":"reject"})",
         "Denied from notch"},
        {"question on the original API, answered", kOriginal, "properties", "ses_Q",
         R"({"type":"question.asked","properties":{"id":"que_1","sessionID":"ses_Q","questions":[{"question":"Which?","header":"H","options":[{"label":"Red","description":""},{"label":"Blue","description":""}],"multiple":true}]}})",
         ControlAction::answer({{1, 0}}), "/question/que_1/reply", R"({"answers":[["Blue","Red"]]})",
         "Answered from notch"},
    };
    attach(server);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sessionId = "opencode:" + c.id;
        const std::size_t postsBefore = server.posts().size();
        server.send(c.stream, created(c.id, c.envelope));
        server.send(c.stream, c.asked);
        ASSERT_TRUE(waitUntil([&] { return waitsForUser(sessionId); }));

        ASSERT_TRUE(decide(c.action, sessionId));
        ASSERT_TRUE(waitUntil([&] { return server.posts().size() > postsBefore; }));
        EXPECT_EQ(server.posts().back().path, c.path);
        EXPECT_EQ(server.posts().back().body, c.body);
        ASSERT_TRUE(waitUntil([&] { return !waitsForUser(sessionId); }));
        EXPECT_EQ(session(sessionId).lastActivity, c.activity);
    }
}

TEST_F(OpenCodeIntegrationTest, AnswerGivenInTheTerminalReleasesTheRequest)
{
    attach(server);
    server.send(kOriginal, created("ses_T", "properties"));
    server.send(
        kOriginal,
        R"({"type":"permission.asked","properties":{"id":"per_1","sessionID":"ses_T","permission":"bash"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_T"); }));
    server.send(
        kOriginal,
        R"({"type":"permission.replied","properties":{"sessionID":"ses_T","requestID":"per_1","reply":"always"}})");
    ASSERT_TRUE(waitUntil([&] { return !waitsForUser("opencode:ses_T"); }));
    EXPECT_EQ(session("opencode:ses_T").lastActivity, "Resolved");
    EXPECT_FALSE(adapter->resolveDecision(ControlAction::deny(), "opencode:ses_T"));
    EXPECT_TRUE(server.posts().empty());
}

TEST_F(OpenCodeIntegrationTest, RefusedReplyLeavesTheRequestHeld)
{
    attach(server);
    server.postStatus = 404;
    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_9","sessionID":"ses_B"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_B"); }));
    testing::internal::CaptureStderr();
    const bool decided = decide(ControlAction::approve(GrantScope::once), "opencode:ses_B");
    const bool posted = waitUntil([&] { return !server.posts().empty(); });
    settle();
    const std::string traces = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(decided && posted);
#ifndef NDEBUG
    // The refusal's trace says which session it was about.
    EXPECT_NE(traces.find("reply for OpenCode session ses_B got HTTP 404"), std::string::npos) << traces;
#endif
    EXPECT_TRUE(adapter->holdsRequest("opencode:ses_B"));
    EXPECT_TRUE(waitsForUser("opencode:ses_B"));

    server.postStatus = 200;
    clock.advance(ActionDispatcher::kRepeatWindow);
    ASSERT_TRUE(decide(ControlAction::approve(GrantScope::once), "opencode:ses_B"));
    ASSERT_TRUE(waitUntil([&] { return !adapter->holdsRequest("opencode:ses_B"); }));
}

TEST_F(OpenCodeIntegrationTest, SessionGrantAnswersLaterRequestsByItself)
{
    attach(server);
    server.send(kV2, created("ses_G", "data"));
    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_1","sessionID":"ses_G"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_G"); }));
    ASSERT_TRUE(decide(ControlAction::approve(GrantScope::session), "opencode:ses_G"));
    ASSERT_TRUE(waitUntil([&] { return !waitsForUser("opencode:ses_G"); }));

    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_2","sessionID":"ses_G"}})");
    ASSERT_TRUE(waitUntil([&] { return server.posts().size() == 2; }));
    EXPECT_EQ(server.posts()[1].path, "/api/session/ses_G/permission/per_2/reply");
    EXPECT_EQ(server.posts()[1].body, R"({"reply":"once"})");
    EXPECT_FALSE(waitsForUser("opencode:ses_G"));
    EXPECT_EQ(session("opencode:ses_G").lastActivity, "Auto-approved");
}

TEST_F(OpenCodeIntegrationTest, DroppedStreamReconnectsWithoutDuplicatingSessions)
{
    attach(server);
    server.send(kOriginal, created("ses_T", "properties"));
    server.send(kV2, created("ses_T", "data"));
    server.send(
        kOriginal,
        R"({"type":"permission.asked","properties":{"id":"per_1","sessionID":"ses_T","permission":"bash"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_T"); }));

    server.dropStreams();
    const OpenCodeEventStream* original = adapter->stream(base(), OpenCodeApi::original);
    const OpenCodeEventStream* v2 = adapter->stream(base(), OpenCodeApi::v2);
    ASSERT_TRUE(original);
    ASSERT_TRUE(v2);
    // Both streams must have seen the cut before the clock moves, or a late one waits for a retry
    // time that has already gone by.
    ASSERT_TRUE(waitUntil([&] { return !original->isReading() && !v2->isReading(); }));
    settle();
    EXPECT_EQ(server.streamRequests(kOriginal), 1);
    clock.advance(OpenCodeEventStream::kFirstRetryDelay);
    ASSERT_TRUE(waitUntil([&] {
        return server.streamRequests(kOriginal) == 2 && server.streamRequests(kV2) == 2 &&
               server.openStreams(kOriginal) == 1 && server.openStreams(kV2) == 1;
    }));
    ASSERT_TRUE(waitUntil([&] { return original->isReading() && v2->isReading(); }));

    server.send(kOriginal, created("ses_T", "properties"));
    server.send(kV2, created("ses_T", "data"));
    // The two streams are two connections: the original's "created", with the old folder, may be
    // read after the move sent on the other one, so the move is sent until it shows.
    ASSERT_TRUE(waitUntil([&] {
        server.send(kV2, R"({"type":"session.updated","data":{"info":{"id":"ses_T","directory":"/moved"}}})");
        return waitUntil([&] { return session("opencode:ses_T").cwd == "/moved"; }, 500ms);
    }));
    EXPECT_EQ(store.sessions().size(), 1u);
    EXPECT_TRUE(waitsForUser("opencode:ses_T"));
    EXPECT_TRUE(adapter->holdsRequest("opencode:ses_T"));
}

TEST_F(OpenCodeIntegrationTest, FailingStreamBacksOffWithinItsBound)
{
    server.streamStatus = 500;
    setServers(std::vector<OpenCodeServer>{OpenCodeServer{getpid(), server.port(), true}});
    adapter->start();
    ASSERT_TRUE(waitUntil([&] { return server.streamRequests(kV2) == 1; }));
    const OpenCodeEventStream* stream = adapter->stream(base(), OpenCodeApi::v2);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(waitUntil([&] { return !stream->isReading(); }));

    // Waits of 2, 4, 8 and 16 seconds, then 30 at most.
    const std::chrono::milliseconds waits[] = {2s, 4s, 8s, 16s, 30s, 30s};
    int expected = 1;
    for (const auto wait : waits) {
        EXPECT_EQ(stream->retryDelay(), wait);
        clock.advance(wait - 1ms);
        settle(20ms);
        EXPECT_EQ(server.streamRequests(kV2), expected);
        clock.advance(1ms);
        ++expected;
        ASSERT_TRUE(
            waitUntil([&] { return server.streamRequests(kV2) == expected && !stream->isReading(); }));
    }

    // A good answer starts the ladder over.
    server.streamStatus = 200;
    clock.advance(30s);
    ASSERT_TRUE(waitUntil([&] { return server.openStreams(kV2) == 1; }));
    server.send(kV2, created("ses_A", "data"));
    ASSERT_TRUE(waitUntil([&] { return store.session("opencode:ses_A") != nullptr; }));
    EXPECT_EQ(stream->retryDelay(), OpenCodeEventStream::kFirstRetryDelay);
}

TEST_F(OpenCodeIntegrationTest, OverlongLineIsDroppedAndTheStreamGoesOn)
{
    attach(server);
    server.sendRaw(kV2, "data: {\"type\":\"session.created\",\"data\":{\"x\":\"" +
                            std::string(OpenCodeEventStream::kMaxLineBytes + 10, 'x') + "\"}}\n\n");
    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_1","sessionID":"ses_L"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_L"); }));
    EXPECT_EQ(adapter->stream(base(), OpenCodeApi::v2)->droppedLines(), 1u);
}

TEST_F(OpenCodeIntegrationTest, StreamWithoutBytesForAMinuteIsMadeAgain)
{
    attach(server);
    clock.advance(OpenCodeEventStream::kIdleTimeout);
    const OpenCodeEventStream* stream = adapter->stream(base(), OpenCodeApi::v2);
    ASSERT_TRUE(waitUntil([&] { return !stream->isReading(); }));
    clock.advance(OpenCodeEventStream::kFirstRetryDelay);
    ASSERT_TRUE(waitUntil([&] { return server.streamRequests(kV2) == 2 && server.openStreams(kV2) >= 1; }));
}

TEST_F(OpenCodeIntegrationTest, ServerOnlyOnIPv6LoopbackIsReachedThere)
{
    ScriptedOpenCodeServer v6(QHostAddress::LocalHostIPv6);
    if (!v6.isListening())
        GTEST_SKIP() << "no IPv6 loopback here";
    attach(v6, false);
    v6.send(
        kOriginal,
        R"({"type":"permission.asked","properties":{"id":"per_6","sessionID":"ses_6","permission":"bash"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_6"); }));
    ASSERT_TRUE(decide(ControlAction::approve(GrantScope::always), "opencode:ses_6"));
    ASSERT_TRUE(waitUntil([&] { return !v6.posts().empty(); }));
    EXPECT_EQ(v6.posts()[0].path, "/permission/per_6/reply");
    EXPECT_EQ(v6.posts()[0].body, R"({"reply":"always"})");
}

TEST_F(OpenCodeIntegrationTest, ServerGoneEndsItsSessions)
{
    attach(server);
    server.send(kOriginal, created("ses_T", "properties"));
    ASSERT_TRUE(waitUntil([&] { return store.session("opencode:ses_T") != nullptr; }));
    setServers(std::vector<OpenCodeServer>{});
    clock.advance(OpenCodeAdapter::kDiscoveryInterval);
    ASSERT_TRUE(waitUntil([&] { return store.session("opencode:ses_T") == nullptr; }));
    EXPECT_TRUE(adapter->serverBases().empty());
    ASSERT_TRUE(
        waitUntil([&] { return server.openStreams(kOriginal) == 0 && server.openStreams(kV2) == 0; }));
}

} // namespace

TEST_F(OpenCodeIntegrationTest, RedirectsAreNotFollowedByTheStreamNorByAReply)
{
    ScriptedOpenCodeServer elsewhere;
    const std::string elsewhereBase = "http://127.0.0.1:" + std::to_string(elsewhere.port());
    server.redirectTo = elsewhereBase;
    setServers(std::vector<OpenCodeServer>{OpenCodeServer{getpid(), server.port(), true}});
    adapter->start();
    ASSERT_TRUE(
        waitUntil([&] { return server.streamRequests(kV2) >= 1 && server.streamRequests(kOriginal) >= 1; }));
    settle();
    EXPECT_EQ(elsewhere.streamRequests(kV2) + elsewhere.streamRequests(kOriginal), 0);

    // Streams that are answered; then the server sends the decision elsewhere.
    server.redirectTo.clear();
    clock.advance(OpenCodeEventStream::kMaxRetryDelay);
    ASSERT_TRUE(waitUntil([&] { return server.openStreams(kV2) == 1; }));
    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_1","sessionID":"ses_R"}})");
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_R"); }));
    server.redirectTo = elsewhereBase;
    ASSERT_TRUE(decide(ControlAction::approve(GrantScope::once), "opencode:ses_R"));
    ASSERT_TRUE(waitUntil([&] { return !server.posts().empty(); }));
    settle();
    EXPECT_TRUE(elsewhere.posts().empty());
    EXPECT_TRUE(adapter->holdsRequest("opencode:ses_R"));
}

TEST_F(OpenCodeIntegrationTest, AFastStreamIsReadATurnAtATimeWithinItsBuffer)
{
    attach(server);
    const OpenCodeEventStream* stream = adapter->stream(base(), OpenCodeApi::v2);
    // Megabytes of events written at once, as a server that outpaces the main thread does; each
    // moves the session's activity.
    std::string flood;
    std::size_t line = 0;
    for (int i = 0; flood.size() < 2u * 1024 * 1024; ++i) {
        const std::string event =
            "data: " +
            std::string(
                R"({"type":"message.part.updated","data":{"sessionID":"ses_F","part":{"type":"tool","tool":"bash","callID":"c","state":{"input":{"command":"ls )") +
            std::to_string(100000 + i) + R"("}}}}})" + "\n\n";
        line = event.size();
        flood += event;
    }
    server.send(kV2, created("ses_F", "data"));
    server.sendRaw(kV2, flood);
    server.send(kV2, R"({"type":"permission.v2.asked","data":{"id":"per_1","sessionID":"ses_F"}})");

    // Counted between turns of the event loop: a marker posted at the first event of a turn runs
    // only once the stream has let go of the thread.
    std::size_t sinceTurn = 0;
    std::size_t mostInOneTurn = 0;
    std::size_t mostBuffered = 0;
    bool markerPending = false;
    QObject context;
    QObject::connect(&store, &SessionStore::sessionsChanged, &context, [&] {
        ++sinceTurn;
        mostInOneTurn = std::max(mostInOneTurn, sinceTurn);
        mostBuffered = std::max(mostBuffered, stream->bufferedBytes());
        if (!markerPending) {
            markerPending = true;
            QMetaObject::invokeMethod(
                &context,
                [&] {
                    markerPending = false;
                    sinceTurn = 0;
                },
                Qt::QueuedConnection);
        }
    });
    ASSERT_TRUE(waitUntil([&] { return waitsForUser("opencode:ses_F"); }, 60s));
    // A turn reads one slice; a notice of new bytes may add a second before the marker runs.
    EXPECT_LE(mostInOneTurn, 2 * (static_cast<std::size_t>(OpenCodeEventStream::kBytesPerTurn) / line + 1));
    EXPECT_LE(mostBuffered, static_cast<std::size_t>(OpenCodeEventStream::kReadBufferBytes +
                                                     OpenCodeEventStream::kBytesPerTurn));
}
