#include "Platform/Linux/SwayWindowSystem.h"

#include "support/FakeUnixServer.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QSignalSpy>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <unistd.h>

using namespace velquist;

namespace {

// A tree as sway reports it: the scratchpad's hidden window, workspace 1 with two windows of one
// terminal and an XWayland xterm behind the focused workspace 2, which shows a full-screen foot
// window and a floating one.
constexpr const char* recordedTree = R"({
  "id": 1, "type": "root", "name": "root", "focus": [3, 2],
  "nodes": [
    {"id": 2, "type": "output", "name": "__i3", "focus": [20], "nodes": [
      {"id": 20, "type": "workspace", "name": "__i3_scratch", "num": -1, "nodes": [], "focus": [21],
       "floating_nodes": [{"id": 21, "type": "floating_con", "pid": 500, "app_id": "pavucontrol",
                           "name": "Volume", "visible": false, "focused": false, "nodes": [],
                           "rect": {"x": 0, "y": 0, "width": 400, "height": 300}}]}]},
    {"id": 3, "type": "output", "name": "HEADLESS-1", "focus": [11, 10],
     "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}, "nodes": [
      {"id": 10, "type": "workspace", "name": "1", "num": 1, "focus": [6, 5, 4], "floating_nodes": [],
       "nodes": [
        {"id": 4, "type": "con", "pid": 101, "app_id": "foot", "name": "first", "visible": false,
         "focused": false, "fullscreen_mode": 0, "nodes": [], "rect": {"x": 0, "y": 0, "width": 640, "height": 1080}},
        {"id": 5, "type": "con", "pid": 102, "app_id": null, "name": "second", "visible": false,
         "window_properties": {"class": "XTerm", "instance": "xterm", "title": "second"},
         "focused": false, "nodes": [], "rect": {"x": 640, "y": 0, "width": 640, "height": 1080}},
        {"id": 6, "type": "con", "pid": 101, "app_id": "foot", "name": "third", "visible": false,
         "focused": false, "nodes": [], "rect": {"x": 1280, "y": 0, "width": 640, "height": 1080}}]},
      {"id": 11, "type": "workspace", "name": "2", "num": 2, "focus": [7, 8],
       "nodes": [
        {"id": 7, "type": "con", "pid": 103, "app_id": "foot", "name": "~/work: 3f2a9c1e claude",
         "visible": true, "focused": true, "fullscreen_mode": 1, "nodes": [],
         "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}}],
       "floating_nodes": [
        {"id": 8, "type": "floating_con", "pid": 104, "app_id": "imv", "name": null, "visible": true,
         "focused": false, "fullscreen_mode": 0, "nodes": [],
         "rect": {"x": 100, "y": 100, "width": 300, "height": 200}}]}]}]
})";

// Answers each request with the reply recorded for its type and keeps the subscription open so
// the test can send events down it.
class FakeSway
{
  public:
    explicit FakeSway(const std::filesystem::path& folder)
        : m_server(folder / "sway-ipc.sock", [this](int fd) { return serve(fd); })
    {
    }
    ~FakeSway()
    {
        if (m_subscription >= 0)
            ::close(m_subscription);
    }

    std::string path() const { return m_server.path().string(); }

    void reply(std::uint32_t type, std::string payload)
    {
        std::lock_guard lock(m_mutex);
        m_replies[type] = std::move(payload);
    }
    std::vector<std::pair<std::uint32_t, std::string>> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    bool subscribed() const { return m_subscription >= 0; }
    std::string subscribedTo() const
    {
        std::lock_guard lock(m_mutex);
        return m_subscribedTo;
    }
    void send(const std::string& bytes) { test::FakeUnixServer::writeAll(m_subscription, bytes); }

    // A malformed reply in place of the recorded one.
    std::atomic<bool> garbled{false};

  private:
    bool serve(int fd)
    {
        char header[14];
        if (!test::FakeUnixServer::readExactly(fd, header, sizeof header))
            return false;
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        std::memcpy(&length, header + 6, 4);
        std::memcpy(&type, header + 10, 4);
        std::string payload(length, '\0');
        if (!test::FakeUnixServer::readExactly(fd, payload.data(), length))
            return false;
        if (type == SwayWindowSystem::subscribe) {
            {
                std::lock_guard lock(m_mutex);
                m_subscribedTo = payload;
            }
            test::FakeUnixServer::writeAll(fd, SwayWindowSystem::frame(type, R"({"success": true})"));
            m_subscription = fd;
            return true;
        }
        std::string answer;
        {
            std::lock_guard lock(m_mutex);
            m_requests.emplace_back(type, payload);
            answer = m_replies[type];
        }
        test::FakeUnixServer::writeAll(fd, garbled ? "i3-ipX" + std::string(8, '\0')
                                                   : SwayWindowSystem::frame(type, answer));
        return false;
    }

    mutable std::mutex m_mutex;
    std::map<std::uint32_t, std::string> m_replies;
    std::vector<std::pair<std::uint32_t, std::string>> m_requests;
    std::string m_subscribedTo;
    std::atomic<int> m_subscription{-1};
    test::FakeUnixServer m_server;
};

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
    sway.reply(SwayWindowSystem::getTree, recordedTree);
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

TEST(SwayWindowSystemTest, AMissingOrGarbledCompositorGivesNothingRatherThanGuesses)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, recordedTree);
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
