#include "Platform/Linux/SwayWindowSystem.h"

#include "support/FakeSway.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

using test::FakeSway;

std::vector<WindowId> ids(const std::vector<WindowInfo>& windows)
{
    std::vector<WindowId> result;
    for (const auto& window : windows)
        result.push_back(window.id);
    return result;
}

} // namespace

TEST(SwayWindowSystemTest, ReadsWindowsFromTheTree)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, FakeSway::recordedTree);
    SwayWindowSystem windows(sway.path());
    ASSERT_TRUE(windows.canListWindows());
    EXPECT_TRUE(windows.canActivateWindows());

    const auto active = windows.activeWindow();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->id, 7u);
    EXPECT_EQ(active->pid, 103);
    EXPECT_EQ(active->title, "~/work: 3f2a9c1e claude");
    EXPECT_EQ(active->windowClass, "foot");
    EXPECT_EQ(active->desktop, 2u);
    EXPECT_TRUE(active->isFullScreen);
    EXPECT_EQ(active->frame, QRect(0, 0, 1920, 1080));

    // Both windows of one terminal, the most recently focused first, on a workspace not shown.
    EXPECT_EQ(ids(windows.windowsOf(101)), (std::vector<WindowId>{6, 4}));
    EXPECT_EQ(windows.windowsOf(101).front().desktop, 1u);
    const auto xterm = windows.windowsOf(102);
    ASSERT_EQ(xterm.size(), 1u);
    EXPECT_EQ(xterm[0].instance, "xterm");
    EXPECT_EQ(xterm[0].windowClass, "XTerm");
    // A hidden scratchpad window is listed but on no desktop; a window without a title has none.
    ASSERT_EQ(windows.windowsOf(500).size(), 1u);
    EXPECT_EQ(windows.windowsOf(500)[0].desktop, std::nullopt);
    EXPECT_EQ(windows.window(8)->title, std::nullopt);
    EXPECT_TRUE(windows.windowsOf(999).empty());
    EXPECT_FALSE(windows.window(10)) << "a workspace is no window";

    EXPECT_EQ(ids(windows.shownWindows()), (std::vector<WindowId>{7, 8}));
    EXPECT_FALSE(windows.shownWindows()[1].isFullScreen);
}

TEST(SwayWindowSystemTest, AbandonedQueriesAreNotAsked)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, FakeSway::recordedTree);
    SwayWindowSystem windows(sway.path());
    ASSERT_FALSE(windows.shownWindows().empty());
    const auto asked = sway.requests().size();

    windows.abandonQueries();
    EXPECT_TRUE(windows.shownWindows().empty());
    EXPECT_FALSE(windows.activate(7));
    EXPECT_EQ(sway.requests().size(), asked);
}

TEST(SwayWindowSystemTest, AMissingOrGarbledCompositorGivesNothingRatherThanGuesses)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, FakeSway::recordedTree);
    sway.garbled = true;
    SwayWindowSystem garbled(sway.path());
    EXPECT_FALSE(garbled.activeWindow());
    EXPECT_TRUE(garbled.shownWindows().empty());
    EXPECT_FALSE(garbled.activate(7));

    SwayWindowSystem gone((folder.path() / "nothing.sock").string());
    EXPECT_FALSE(gone.canWatchActiveWindow());
    EXPECT_TRUE(gone.windowsOf(101).empty());

    SwayWindowSystem none("");
    EXPECT_FALSE(none.canListWindows());
    EXPECT_FALSE(none.canActivateWindows());
    EXPECT_FALSE(none.canWatchActiveWindow());
}

TEST(SwayWindowSystemTest, ActivatesByContainerIdAndReportsTheCompositorsAnswer)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    SwayWindowSystem windows(sway.path());
    sway.reply(SwayWindowSystem::runCommand, R"([{"success": true}])");
    EXPECT_TRUE(windows.activate(4));
    sway.reply(SwayWindowSystem::runCommand, R"([{"success": false, "error": "No matching node."}])");
    EXPECT_FALSE(windows.activate(99));
    EXPECT_FALSE(windows.activate(0));
    const auto requests = sway.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0],
              std::pair(std::uint32_t{SwayWindowSystem::runCommand}, std::string("[con_id=4] focus")));
    EXPECT_EQ(requests[1].second, "[con_id=99] focus");
}

TEST(SwayWindowSystemTest, FollowsWindowEventsFromItsSubscription)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    SwayWindowSystem windows(sway.path());
    ASSERT_TRUE(windows.canWatchActiveWindow());
    ASSERT_TRUE(test::waitUntil([&] { return sway.subscribed(); }));
    EXPECT_EQ(sway.subscribedTo(), R"(["window","workspace"])");
    QSignalSpy active(&windows, &WindowSystem::activeWindowChanged);
    QSignalSpy stacking(&windows, &WindowSystem::stackingChanged);

    const std::uint32_t windowEvent = 0x80000003u;
    const std::uint32_t workspaceEvent = 0x80000000u;
    // One event cut in two writes counts once, when it is whole.
    const std::string focus =
        SwayWindowSystem::frame(windowEvent, R"({"change": "focus", "container": {"id": 4}})");
    sway.send(focus.substr(0, 9));
    test::settle();
    EXPECT_EQ(active.count(), 0);
    sway.send(focus.substr(9));
    ASSERT_TRUE(test::waitUntil([&] { return active.count() == 1; }));
    EXPECT_EQ(stacking.count(), 0);

    sway.send(SwayWindowSystem::frame(windowEvent, R"({"change": "fullscreen_mode"})") +
              SwayWindowSystem::frame(windowEvent, R"({"change": "title"})") +
              SwayWindowSystem::frame(workspaceEvent, R"({"change": "focus"})"));
    ASSERT_TRUE(test::waitUntil([&] { return stacking.count() == 2; }));
    EXPECT_EQ(active.count(), 2) << "a title change is no change of window";
}
