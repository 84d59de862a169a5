#include "App/AppDelegate.h"
#include "Characters/IntroDirector.h"

#include "support/DelegateWorld.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// A delegate with one screen, so the tour has somewhere to play.
struct IntroHarness : test::DelegateWorld
{
    IntroHarness()
    {
        ScreenInfo screen;
        screen.geometry = QRect(0, 0, 1280, 800);
        screens.attached = {screen};
    }
    std::unique_ptr<AppDelegate> launch()
    {
        auto delegate = std::make_unique<AppDelegate>(services());
        delegate->applicationDidFinishLaunching({});
        return delegate;
    }
};

class AppDelegateIntroTest : public ::testing::Test, protected IntroHarness
{
};

} // namespace

TEST_F(AppDelegateIntroTest, TheFirstLaunchPlaysTheTourAndALaterOneDoesNot)
{
    struct Case
    {
        const char* what;
        std::optional<nlohmann::json> played;
        bool starts;
    };
    const Case cases[] = {
        {"never played", std::nullopt, true},
        {"played false", false, true},
        {"played", true, false},
        {"stored as another type", "yes", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.played)
            defaults.setValue(IntroDirector::kPlayedKey, *c.played);
        else
            defaults.remove(IntroDirector::kPlayedKey);
        auto delegate = launch();
        EXPECT_EQ(delegate->intro().step().has_value(), c.starts);
        EXPECT_EQ(delegate->store().introIsRunning(), c.starts);
        delegate->applicationWillTerminate();
        EXPECT_FALSE(delegate->store().introIsRunning());
        EXPECT_EQ(delegate->store().session(IntroDirector::kDemoID), nullptr);
    }
}

TEST_F(AppDelegateIntroTest, AnyAnswerOnTheDemonstrationMovesTheTourOn)
{
    auto delegate = launch();
    IntroDirector& intro = delegate->intro();
    intro.advance();
    intro.advance();
    ASSERT_EQ(intro.step(), IntroStep::permission);
    const Session* demo = delegate->store().session(IntroDirector::kDemoID);
    ASSERT_NE(demo, nullptr);
    delegate->dispatcher().perform(ControlAction::deny(), *demo);
    ASSERT_TRUE(test::waitUntil([&] { return intro.isPressingAllow(); }));
    clock.advance(3s);
    EXPECT_EQ(intro.step(), IntroStep::quiet);
    intro.skip();
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), true);
    delegate->applicationWillTerminate();
}

TEST_F(AppDelegateIntroTest, QuittingMidTourOffersItAgainNextTime)
{
    {
        auto delegate = launch();
        delegate->intro().advance();
        delegate->applicationWillTerminate();
    }
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), std::nullopt);
    auto again = launch();
    EXPECT_EQ(again->intro().step(), IntroStep::welcome);
    again->applicationWillTerminate();
}
