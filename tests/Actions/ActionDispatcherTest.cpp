#include "Actions/ActionDispatcher.h"
#include "support/ManualScheduler.h"
#include "support/RecordingDispatchTargets.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

class RecordingResolver final : public DecisionResolver
{
  public:
    bool resolveDecision(const ControlAction& action, const std::string& sessionID) override
    {
        calls.emplace_back(sessionID, action);
        return answer;
    }
    std::vector<std::pair<std::string, ControlAction>> calls;
    bool answer = true;
};

class ActionDispatcherTest : public ::testing::Test
{
  protected:
    ActionDispatcherTest() : dispatcher(clock, {&tapSound, &intro, &jumper})
    {
        dispatcher.registerResolver(AgentKind::claudeCode, &resolver);
    }

    static Session session(const std::string& id, AgentKind agent = AgentKind::claudeCode)
    {
        Session s;
        s.id = id;
        s.agent = agent;
        return s;
    }

    void perform(const ControlAction& action, const Session& s)
    {
        dispatcher.perform(action, s);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    test::ManualScheduler clock;
    test::RecordingTapSound tapSound;
    test::RecordingIntroAllowHook intro;
    test::RecordingTerminalJumper jumper;
    ActionDispatcher dispatcher;
    RecordingResolver resolver;
    const int& taps = tapSound.taps;
    const int& introAllows = intro.allows;
    const std::vector<std::string>& jumps = jumper.jumps;
};

} // namespace

TEST_F(ActionDispatcherTest, ARepeatWithinTheWindowIsDroppedButTheSoundPlays)
{
    const auto a = session("claude:a");
    perform(ControlAction::approve(GrantScope::once), a);
    clock.advance(2400ms);
    perform(ControlAction::approve(GrantScope::once), a);
    EXPECT_EQ(resolver.calls.size(), 1u);
    EXPECT_EQ(taps, 2);
    clock.advance(100ms); // 2.5 s after the accepted one
    perform(ControlAction::approve(GrantScope::once), a);
    EXPECT_EQ(resolver.calls.size(), 2u);
}

TEST_F(ActionDispatcherTest, DifferentActionsSessionsAndRequestsAreNotRepeats)
{
    auto a = session("claude:a");
    const auto b = session("claude:b");
    perform(ControlAction::approve(GrantScope::once), a);
    perform(ControlAction::approve(GrantScope::once), b);
    perform(ControlAction::approve(GrantScope::once), a);
    perform(ControlAction::approve(GrantScope::session), a);
    perform(ControlAction::denyWithMessage("a"), a);
    perform(ControlAction::denyWithMessage("b"), a);
    EXPECT_EQ(resolver.calls.size(), 6u);

    // The same button on the session's next request.
    a.attentionSince = clock.now();
    perform(ControlAction::deny(), a);
    a.attentionSince = clock.now() + 1s;
    perform(ControlAction::deny(), a);
    EXPECT_EQ(resolver.calls.size(), 8u);
}

TEST_F(ActionDispatcherTest, WithoutAChannelTheTerminalComesToTheFrontOnce)
{
    const auto detected = session("detected:pts/3", AgentKind::detected);
    perform(ControlAction::deny(), detected);
    perform(ControlAction::deny(), detected);
    EXPECT_EQ(jumps, std::vector<std::string>{"detected:pts/3"});

    resolver.answer = false;
    perform(ControlAction::approve(GrantScope::once), session("claude:gone"));
    EXPECT_EQ(resolver.calls.size(), 1u);
    EXPECT_EQ(jumps.back(), "claude:gone");
}

TEST_F(ActionDispatcherTest, DemonstrationSessionsOnlyMoveTheIntroductionOn)
{
    perform(ControlAction::deny(), session("intro-demo"));
    perform(ControlAction::deny(), session("intro-demo"));
    EXPECT_EQ(introAllows, 2);
    EXPECT_TRUE(resolver.calls.empty());
    EXPECT_TRUE(jumps.empty());
    // Demonstration actions leave the repeat filter alone.
    perform(ControlAction::deny(), session("claude:a"));
    EXPECT_EQ(resolver.calls.size(), 1u);
}

TEST(ControlActionTest, DescriptionsAreEqualExactlyForEqualActions)
{
    const ControlAction actions[] = {
        ControlAction::approve(GrantScope::once),   ControlAction::approve(GrantScope::session),
        ControlAction::approve(GrantScope::always), ControlAction::approvePlan(std::nullopt),
        ControlAction::approvePlan("acceptEdits"),  ControlAction::denyWithMessage(""),
        ControlAction::denyWithMessage("\") deny"), ControlAction::answer({{0}, {1, 2}}),
        ControlAction::answer({{0, 1}, {2}}),       ControlAction::deny(),
    };
    for (const auto& a : actions) {
        for (const auto& b : actions)
            EXPECT_EQ(a.describe() == b.describe(), a == b) << a.describe() << " vs " << b.describe();
    }
}
