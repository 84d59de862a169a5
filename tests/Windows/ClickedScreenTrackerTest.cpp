#include "Windows/ClickedScreenTracker.h"

#include "Windows/PanelWorld.h"

#include <gtest/gtest.h>

using namespace velquist;
using test::PanelWorld;

namespace {

class ClickedScreenTrackerTest : public ::testing::Test
{
  protected:
    ClickedScreenTrackerTest()
        : tracker(
              pointer, screens, [this] { ++changes; }, [this](QPoint p) { return ownWindow.contains(p); })
    {
        screens.attached = {left, right};
    }

    void clickAt(QPoint position)
    {
        pointer.moveTo(position);
        pointer.press(Qt::LeftButton);
    }

    const ScreenInfo left = PanelWorld::screen("eDP-1", {0, 0, 1440, 900});
    const ScreenInfo right = PanelWorld::screen("HDMI-1", {1440, 0, 1920, 1080});
    test::RecordingPointerSource pointer;
    test::RecordingScreenProvider screens;
    QRect ownWindow{1440 + 580, 0, 760, 32};
    int changes = 0;
    ClickedScreenTracker tracker;
};

} // namespace

TEST_F(ClickedScreenTrackerTest, StartCountsTheScreenUnderThePointerAndEachClickThatMovesIt)
{
    pointer.moveTo({2000, 500});
    tracker.start();
    EXPECT_TRUE(tracker.isTracking());
    EXPECT_EQ(pointer.interest(), 1);
    EXPECT_EQ(tracker.screenID(), PanelWorld::idOf(right));
    EXPECT_EQ(changes, 1);

    struct Step
    {
        QPoint at;
        const ScreenInfo* expected;
        int changes;
    };
    const Step steps[] = {
        {{100, 100}, &left, 2},       {{200, 300}, &left, 2}, // the same screen again: no call
        {{5000, 100}, &left, 2},                              // outside every screen: ignored
        {{1440 + 600, 10}, &left, 2},                         // on our own panel: not a click elsewhere
        {{1440, 0}, &right, 3},                               // the left edge belongs to the right screen
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.at.x());
        clickAt(step.at);
        EXPECT_EQ(tracker.screenID(), PanelWorld::idOf(*step.expected));
        EXPECT_EQ(changes, step.changes);
    }
}

TEST_F(ClickedScreenTrackerTest, StopForgetsQuietlyAndAStartAfterwardsRecordsAgain)
{
    pointer.moveTo({100, 100});
    tracker.start();
    tracker.start();
    EXPECT_EQ(pointer.interest(), 1) << "a second start installs nothing";
    tracker.stop();
    EXPECT_FALSE(tracker.isTracking());
    EXPECT_EQ(tracker.screenID(), std::nullopt);
    EXPECT_EQ(pointer.interest(), 0);
    EXPECT_EQ(changes, 1);
    clickAt({2000, 100});
    EXPECT_EQ(tracker.screenID(), std::nullopt) << "no clicks are seen while stopped";

    tracker.start();
    EXPECT_EQ(tracker.screenID(), PanelWorld::idOf(right));
    EXPECT_EQ(changes, 2);
}

TEST_F(ClickedScreenTrackerTest, ADetachedScreenKeepsItsId)
{
    pointer.moveTo({2000, 100});
    tracker.start();
    screens.attached = {left};
    clickAt({3000, 100});
    EXPECT_EQ(tracker.screenID(), PanelWorld::idOf(right));
}
