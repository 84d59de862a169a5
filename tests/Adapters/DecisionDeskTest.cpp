#include "Adapters/DecisionDesk.h"
#include "support/RecordingDecisionReply.h"

#include <gtest/gtest.h>
#include <memory>

using namespace velquist;
using velquist::test::RecordingDecisionReply;

namespace {

struct HangUp
{
    std::string key;
    std::optional<std::string> tool;
    SessionStatus before;
};

class DecisionDeskTest : public ::testing::Test
{
  protected:
    static std::shared_ptr<RecordingDecisionReply> request(std::string tool)
    {
        HookEvent event;
        event.name = HookEvent::Name::permissionRequest;
        event.toolName = std::move(tool);
        return std::make_shared<RecordingDecisionReply>(std::move(event));
    }

    std::vector<HangUp> hangUps;
    DecisionDesk desk{[this](const std::string& key, const HookEvent& request, const SessionStatus& before) {
        hangUps.push_back(HangUp{key, request.toolName, before});
    }};
    const SessionStatus working = SessionStatus::Working{"$ make"};
};

} // namespace

TEST_F(DecisionDeskTest, EachRequestLeavesByExactlyOneWay)
{
    struct Case
    {
        std::string name;
        std::function<void(DecisionDesk&, RecordingDecisionReply&)> act;
        std::vector<std::string> replies;
        int closes;
        std::size_t hangUps;
    };
    const std::vector<Case> cases{
        {"answered",
         [](DecisionDesk& d, RecordingDecisionReply&) { EXPECT_TRUE(d.answer("k", "allow")); },
         {"allow"},
         0,
         0},
        {"let go of", [](DecisionDesk& d, RecordingDecisionReply&) { d.cancel("k"); }, {}, 1, 0},
        {"its sender went away", [](DecisionDesk&, RecordingDecisionReply& r) { r.hangUp(); }, {}, 0, 1},
        {"answered, then the sender goes",
         [](DecisionDesk& d, RecordingDecisionReply& r) {
             d.answer("k", "deny");
             r.hangUp();
         },
         {"deny"},
         0,
         0},
        {"a reply the sender did not take",
         [](DecisionDesk& d, RecordingDecisionReply& r) {
             r.takesReplies = false;
             EXPECT_FALSE(d.answer("k", "allow"));
         },
         {"allow"},
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hangUps.clear();
        auto held = request("Bash");
        desk.hold("k", held, working);
        EXPECT_TRUE(desk.holds("k"));
        c.act(desk, *held);
        EXPECT_FALSE(desk.holds("k"));
        EXPECT_EQ(held->replies, c.replies);
        EXPECT_EQ(held->closes, c.closes);
        EXPECT_EQ(hangUps.size(), c.hangUps);
        // Nothing is left to answer or let go of.
        EXPECT_FALSE(desk.answer("k", "again"));
        desk.cancel("k");
        EXPECT_EQ(held->replies, c.replies);
        EXPECT_EQ(held->closes, c.closes);
    }
}

TEST_F(DecisionDeskTest, NewerRequestOfASessionReplacesTheOlderAndKeepsTheStatusBeforeBoth)
{
    auto first = request("Bash");
    auto other = request("Read");
    desk.hold("k", first, working);
    desk.hold("other", other, SessionStatus::Idle{});
    auto second = request("Write");
    desk.hold("k", second, SessionStatus::NeedsPermission{});
    EXPECT_EQ(first->closes, 1);
    EXPECT_TRUE(first->replies.empty());
    first->hangUp(); // the replaced request's sender no longer counts
    EXPECT_TRUE(hangUps.empty());

    second->hangUp();
    ASSERT_EQ(hangUps.size(), 1u);
    EXPECT_EQ(hangUps[0].key, "k");
    EXPECT_EQ(hangUps[0].tool, "Write");
    EXPECT_EQ(hangUps[0].before, working);
    EXPECT_TRUE(desk.holds("other"));
}

TEST_F(DecisionDeskTest, RequestThatCanNoLongerBeAnsweredIsLetGo)
{
    auto held = request("Bash");
    desk.hold("k", held, working);
    ASSERT_NE(desk.answerable("k"), nullptr);
    EXPECT_EQ(desk.answerable("k")->toolName, "Bash");
    held->close();
    EXPECT_EQ(desk.answerable("k"), nullptr);
    EXPECT_FALSE(desk.holds("k"));
    EXPECT_EQ(desk.answerable("none"), nullptr);
}

TEST_F(DecisionDeskTest, RequestOutlivingTheDeskNoLongerCallsIt)
{
    auto held = request("Bash");
    {
        DecisionDesk shortLived([](const std::string&, const HookEvent&, const SessionStatus&) { FAIL(); });
        shortLived.hold("k", held, working);
    }
    held->hangUp();
}
