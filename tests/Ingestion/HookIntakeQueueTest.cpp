#include "Ingestion/HookIntakeQueue.h"
#include "Ingestion/SocketConnection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velquist;
using Name = HookEvent::Name;

namespace {

HookEvent event(Name name, const std::string& session, const std::string& tool = "Bash",
                std::optional<std::string> agent = std::nullopt)
{
    HookEvent made;
    made.name = name;
    made.sessionID = session;
    if (name == Name::preToolUse || name == Name::postToolUse || name == Name::permissionRequest)
        made.toolName = tool;
    made.agentID = std::move(agent);
    return made;
}

std::vector<std::uint64_t> ids(const HookIntakeQueue::Batch& batch)
{
    std::vector<std::uint64_t> taken;
    for (const auto& delivery : batch.deliveries)
        taken.push_back(delivery.id);
    return taken;
}

// Both ends of a connection: the queue owns one, the test watches the other for its close.
struct Pair
{
    Pair()
    {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        connection = std::make_shared<SocketConnection>(ends[0]);
        peer = ends[1];
    }
    ~Pair() { ::close(peer); }
    bool peerSeesClose() const
    {
        char byte = 0;
        return ::recv(peer, &byte, 1, MSG_DONTWAIT) == 0;
    }
    std::shared_ptr<SocketConnection> connection;
    int peer = -1;
};

} // namespace

// Events of one session, pushed in order with ids 1, 2, ...: what is delivered; the rest were merged
// away and wait no more.
TEST(HookIntakeQueueTest, ToolEventsOfASessionMergeAndTransitionsStay)
{
    struct Case
    {
        const char* what;
        std::vector<HookEvent> pushed;
        std::vector<std::uint64_t> delivered;
    };
    HookEvent question = event(Name::preToolUse, "s", "AskUserQuestion");
    HookEvent plan = event(Name::preToolUse, "s", "ExitPlanMode");
    const std::vector<Case> cases = {
        {"starts of tools: the latest wins",
         {event(Name::preToolUse, "s"), event(Name::preToolUse, "s"), event(Name::preToolUse, "s")},
         {3}},
        {"start and end alternate: the latest of each, in order",
         {event(Name::preToolUse, "s"), event(Name::postToolUse, "s"), event(Name::preToolUse, "s"),
          event(Name::postToolUse, "s")},
         {3, 4}},
        {"an end of another tool does not replace the end that settles a held request",
         {event(Name::postToolUse, "s", "Read"), event(Name::postToolUse, "s", "Bash")},
         {1, 2}},
        {"transitions are never merged",
         {event(Name::sessionStart, "s"), event(Name::userPromptSubmit, "s"), event(Name::stop, "s"),
          event(Name::userPromptSubmit, "s"), event(Name::stop, "s"), event(Name::sessionEnd, "s")},
         {1, 2, 3, 4, 5, 6}},
        {"a transition between tool events keeps both sides",
         {event(Name::preToolUse, "s"), event(Name::stop, "s"), event(Name::preToolUse, "s")},
         {1, 2, 3}},
        {"questions and plans stay",
         {question, event(Name::preToolUse, "s"), plan, event(Name::preToolUse, "s")},
         {1, 2, 3, 4}},
        {"a subagent's tools do not replace the session's own",
         {event(Name::preToolUse, "s"), event(Name::preToolUse, "s", "Bash", "agent-1"),
          event(Name::preToolUse, "s")},
         {1, 2, 3}},
    };
    for (const auto& testCase : cases) {
        HookIntakeQueue queue;
        std::uint64_t id = 0;
        for (const auto& pushed : testCase.pushed)
            queue.push(++id, pushed);
        const auto batch = queue.take(1000);
        EXPECT_EQ(ids(batch), testCase.delivered) << testCase.what;
        EXPECT_EQ(queue.eventCount(), 0u) << testCase.what;
    }
}

TEST(HookIntakeQueueTest, AMergedEventKeepsWhatTheOlderToldOfTheTerminal)
{
    HookIntakeQueue queue;
    HookEvent first = event(Name::preToolUse, "s");
    first.cwd = "/project";
    first.tty = "pts/4";
    first.ancestorPIDs = {10, 1};
    HookEvent second = event(Name::preToolUse, "s");
    second.cwd = "/project/sub";
    queue.push(1, first);
    queue.push(2, second);
    const auto batch = queue.take(10);
    ASSERT_EQ(batch.deliveries.size(), 1u);
    EXPECT_EQ(batch.deliveries[0].event.cwd, "/project/sub");
    EXPECT_EQ(batch.deliveries[0].event.tty, "pts/4");
    EXPECT_EQ(batch.deliveries[0].event.ancestorPIDs, (std::vector<int>{10, 1}));
}

TEST(HookIntakeQueueTest, ADecisionGoesAheadOfOtherSessionsButAfterItsOwnEvents)
{
    HookIntakeQueue queue;
    for (int i = 0; i < 100; ++i)
        queue.push(static_cast<std::uint64_t>(i + 1),
                   event(Name::sessionStart, "other-" + std::to_string(i)));
    queue.push(500, event(Name::userPromptSubmit, "mine"));
    queue.push(501, event(Name::preToolUse, "mine"));
    Pair pair;
    HookEvent request = event(Name::permissionRequest, "mine");
    request.decisionID = "d";
    queue.pushDecision(502, request, pair.connection);

    const auto first = queue.take(3);
    EXPECT_EQ(ids(first), (std::vector<std::uint64_t>{500, 501, 502}));
    ASSERT_TRUE(first.deliveries.back().connection);
    EXPECT_TRUE(first.more);
    // The others follow, oldest first, a batch at a time.
    const auto second = queue.take(10);
    EXPECT_EQ(second.deliveries.front().id, 1u);
    EXPECT_EQ(second.deliveries.size(), 10u);
}

TEST(HookIntakeQueueTest, TheQueueIsBoundedAndARequestItCannotHoldIsPassedBack)
{
    HookIntakeQueue queue(HookIntakeQueue::Limits{.maxEvents = 3, .maxDecisions = 1});
    HookIntakeQueue::Outcome outcome{};
    queue.push(1, event(Name::sessionStart, "a"), &outcome);
    queue.push(2, event(Name::sessionStart, "b"), &outcome);
    queue.push(3, event(Name::preToolUse, "c"), &outcome);
    EXPECT_EQ(outcome, HookIntakeQueue::Outcome::queued);
    queue.push(4, event(Name::sessionStart, "x"), &outcome);
    EXPECT_EQ(outcome, HookIntakeQueue::Outcome::refused);
    // A full queue still takes what merges into what it holds.
    queue.push(5, event(Name::preToolUse, "c"), &outcome);
    EXPECT_EQ(outcome, HookIntakeQueue::Outcome::merged);
    EXPECT_EQ(queue.eventCount(), 3u);

    Pair held;
    Pair passedBack;
    HookEvent request = event(Name::permissionRequest, "z");
    request.decisionID = "d";
    queue.pushDecision(6, request, held.connection, &outcome);
    EXPECT_EQ(outcome, HookIntakeQueue::Outcome::queued);
    queue.pushDecision(7, request, passedBack.connection, &outcome);
    EXPECT_EQ(outcome, HookIntakeQueue::Outcome::refused);
    // Closed without a reply: the hook client falls back as when the application is away.
    EXPECT_TRUE(passedBack.peerSeesClose());
    EXPECT_FALSE(held.peerSeesClose());
    EXPECT_EQ(queue.decisionCount(), 1u);

    queue.clear();
    EXPECT_TRUE(held.peerSeesClose());
    EXPECT_EQ(queue.eventCount(), 0u);
}

TEST(HookIntakeQueueTest, OnlyThePushThatFindsTheQueueIdleAsksForATake)
{
    HookIntakeQueue queue;
    EXPECT_TRUE(queue.push(1, event(Name::sessionStart, "a")));
    EXPECT_FALSE(queue.push(2, event(Name::sessionStart, "b")));
    const auto batch = queue.take(1);
    EXPECT_TRUE(batch.more);
    EXPECT_FALSE(queue.push(4, event(Name::sessionStart, "c")));
    EXPECT_FALSE(queue.take(10).more);
    EXPECT_TRUE(queue.push(5, event(Name::sessionStart, "d")));
}
