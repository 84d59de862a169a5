#include "Windows/FullScreenWatcher.h"

#include "Windows/PanelWorld.h"
#include "support/WaitUntil.h"

#include <QThreadPool>
#include <gtest/gtest.h>

using namespace velquist;
using test::PanelWorld;

namespace {

WindowInfo windowAt(WindowId id, QRect frame)
{
    WindowInfo window = test::RecordingWindowSystem::makeWindow(id, 10, "w");
    window.frame = frame;
    return window;
}

const ScreenInfo kLeft = PanelWorld::screen("eDP-1", {0, 0, 1440, 900});
const ScreenInfo kRight = PanelWorld::screen("HDMI-1", {1440, 0, 1920, 1080});

} // namespace

TEST(FullScreenWatcherTest, AWindowCoversAScreenWhenItSpansItWithinTwoPixels)
{
    struct Case
    {
        const char* name;
        QRect frame;
        bool coversLeft;
    };
    const Case cases[] = {
        {"exactly the screen", {0, 0, 1440, 900}, true},
        {"larger than the screen", {-10, -10, 1460, 920}, true},
        {"two short on every side", {2, 2, 1436, 896}, true},
        {"three short at the top", {0, 3, 1440, 897}, false},
        {"three short at the right", {0, 0, 1437, 900}, false},
        {"a zoomed window below a top bar", {0, 28, 1440, 872}, false},
        {"on the other screen", {1440, 0, 1920, 1080}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto covered = FullScreenWatcher::covered({kLeft, kRight}, {windowAt(1, c.frame)});
        EXPECT_EQ(covered.contains(PanelWorld::idOf(kLeft)), c.coversLeft);
    }
}

TEST(FullScreenWatcherTest, FollowsTheStackingWhileWatchingAndReportsOnlyChanges)
{
    test::RecordingScreenProvider screens;
    screens.attached = {kLeft, kRight};
    test::RecordingWindowSystem windows;
    QThreadPool workers;
    int changes = 0;
    FullScreenWatcher watcher(
        windows, screens, [&] { ++changes; }, &workers);

    windows.restack({windowAt(1, kRight.geometry)});
    test::drain(workers);
    EXPECT_TRUE(watcher.coveredScreenIDs().empty()) << "nothing is read before start";

    watcher.start();
    test::drain(workers);
    EXPECT_EQ(watcher.coveredScreenIDs(), std::set<std::string>{PanelWorld::idOf(kRight)});
    EXPECT_EQ(changes, 1);

    windows.restack({windowAt(1, kRight.geometry), windowAt(2, {0, 0, 200, 200})});
    test::drain(workers);
    EXPECT_EQ(changes, 1) << "the same result calls nothing";

    windows.restack({windowAt(1, kRight.geometry), windowAt(3, kLeft.geometry)});
    ASSERT_TRUE(test::waitUntil([&] { return changes == 2; }));
    EXPECT_EQ(watcher.coveredScreenIDs().size(), 2u);

    windows.setWindows({});
    windows.setActive(5);
    ASSERT_TRUE(test::waitUntil([&] { return changes == 3; })) << "an activation reads the windows too";
    EXPECT_TRUE(watcher.coveredScreenIDs().empty());

    windows.restack({windowAt(3, kLeft.geometry)});
    ASSERT_TRUE(test::waitUntil([&] { return changes == 4; }));
    watcher.stop();
    EXPECT_TRUE(watcher.coveredScreenIDs().empty());
    EXPECT_EQ(changes, 4) << "stopping empties the set without calling back";
    windows.restack({windowAt(4, kRight.geometry)});
    test::drain(workers);
    EXPECT_TRUE(watcher.coveredScreenIDs().empty());

    // A reading under way when the watcher stops is not applied after it.
    watcher.start();
    watcher.stop();
    test::drain(workers);
    EXPECT_TRUE(watcher.coveredScreenIDs().empty());
    EXPECT_EQ(changes, 4);
}
