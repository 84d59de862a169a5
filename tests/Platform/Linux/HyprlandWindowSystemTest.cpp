#include "Platform/Linux/HyprlandWindowSystem.h"

#include "support/FakeUnixServer.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <unistd.h>

using namespace velquist;

namespace {

// As Hyprland answers `j/clients`: two foot windows on workspace 1 (the one behind, full screen in
// the newer mode form), an XWayland xterm on workspace 3, a hidden special-workspace window.
constexpr const char* recordedClients = R"([
  {"address": "0x55d0c2a1b2c0", "mapped": true, "hidden": false, "at": [0, 0], "size": [1920, 1080],
   "workspace": {"id": 1, "name": "1"}, "floating": false, "fullscreen": 2, "monitor": 0,
   "class": "foot", "title": "~/work: 3f2a9c1e claude", "initialClass": "foot", "pid": 201,
   "xwayland": false, "focusHistoryID": 1},
  {"address": "0x55d0c2a1c000", "mapped": true, "hidden": false, "at": [10, 40], "size": [800, 600],
   "workspace": {"id": 1, "name": "1"}, "floating": true, "fullscreen": false, "monitor": 0,
   "class": "foot", "title": "second", "initialClass": "foot", "pid": 201, "focusHistoryID": 0},
  {"address": "0x55d0c2a1d000", "mapped": true, "hidden": false, "at": [0, 0], "size": [960, 1080],
   "workspace": {"id": 3, "name": "3"}, "fullscreen": false, "class": "XTerm", "initialClass": "xterm",
   "title": "xterm", "pid": 202, "xwayland": true, "focusHistoryID": 2},
  {"address": "0x55d0c2a1e000", "mapped": true, "hidden": true, "at": [0, 0], "size": [300, 300],
   "workspace": {"id": -98, "name": "special:magic"}, "class": "pavucontrol", "title": "Volume",
   "pid": 203, "focusHistoryID": 3}
])";

class FakeHyprland
{
  public:
    explicit FakeHyprland(const std::filesystem::path& folder)
        : m_requests(folder / ".socket.sock", [this](int fd) { return serve(fd); }),
          m_events(folder / ".socket2.sock", [this](int fd) {
              m_stream = fd;
              return true;
          })
    {
        reply("j/clients", recordedClients);
        reply("j/monitors", R"([{"id": 0, "activeWorkspace": {"id": 1}, "specialWorkspace": {"id": 0}}])");
    }
    ~FakeHyprland()
    {
        if (m_stream >= 0)
            ::close(m_stream);
    }

    void reply(const std::string& command, std::string answer)
    {
        std::lock_guard lock(m_mutex);
        m_replies[command] = std::move(answer);
    }
    std::vector<std::string> commands() const
    {
        std::lock_guard lock(m_mutex);
        return m_commands;
    }
    bool streaming() const { return m_stream >= 0; }
    void send(const std::string& lines) { test::FakeUnixServer::writeAll(m_stream, lines); }

  private:
    bool serve(int fd)
    {
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        std::string answer;
        {
            std::lock_guard lock(m_mutex);
            m_commands.emplace_back(buffer, static_cast<std::size_t>(got));
            const auto found = m_replies.find(m_commands.back());
            answer = found != m_replies.end() ? found->second : "unknown request";
        }
        test::FakeUnixServer::writeAll(fd, answer);
        return false;
    }

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_replies;
    std::vector<std::string> m_commands;
    std::atomic<int> m_stream{-1};
    test::FakeUnixServer m_requests;
    test::FakeUnixServer m_events;
};

} // namespace

TEST(HyprlandWindowSystemTest, ListsClientsMostRecentlyFocusedFirstWithStableIds)
{
    test::TemporaryFolder folder;
    FakeHyprland hyprland(folder.path());
    HyprlandWindowSystem windows(folder.path().string());
    ASSERT_TRUE(windows.canListWindows());

    const auto foot = windows.windowsOf(201);
    ASSERT_EQ(foot.size(), 2u);
    EXPECT_EQ(foot[0].title, "second");
    EXPECT_EQ(foot[0].frame, QRect(10, 40, 800, 600));
    EXPECT_FALSE(foot[0].isFullScreen);
    EXPECT_EQ(foot[1].title, "~/work: 3f2a9c1e claude");
    EXPECT_TRUE(foot[1].isFullScreen);
    EXPECT_EQ(foot[1].desktop, 1u);
    EXPECT_EQ(foot[1].windowClass, "foot");
    EXPECT_NE(foot[0].id, foot[1].id);
    EXPECT_NE(foot[0].id, 0u);
    // Read again, each window keeps its id.
    EXPECT_EQ(windows.windowsOf(201), foot);

    const auto xterm = windows.windowsOf(202);
    ASSERT_EQ(xterm.size(), 1u);
    EXPECT_EQ(xterm[0].instance, "xterm");
    EXPECT_EQ(xterm[0].windowClass, "XTerm");
    EXPECT_EQ(xterm[0].desktop, 3u);
    EXPECT_EQ(windows.windowsOf(203).at(0).desktop, std::nullopt);

    // Only the monitor's workspace is on screen, and a hidden window is not.
    const auto shown = windows.shownWindows();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].id, foot[0].id);
    EXPECT_EQ(shown[1].id, foot[1].id);

    hyprland.reply("j/activewindow", R"({"address": "0x55d0c2a1c000", "pid": 201, "class": "foot",
        "title": "second", "workspace": {"id": 1}, "at": [10, 40], "size": [800, 600]})");
    ASSERT_TRUE(windows.activeWindow());
    EXPECT_EQ(windows.activeWindow()->id, foot[0].id);
    hyprland.reply("j/activewindow", "{}");
    EXPECT_FALSE(windows.activeWindow());
    hyprland.reply("j/activewindow", "not json");
    EXPECT_FALSE(windows.activeWindow());
}

TEST(HyprlandWindowSystemTest, AbandonedQueriesAreNotAsked)
{
    test::TemporaryFolder folder;
    FakeHyprland hyprland(folder.path());
    HyprlandWindowSystem windows(folder.path().string());
    ASSERT_FALSE(windows.windowsOf(201).empty());
    const auto asked = hyprland.commands().size();

    windows.abandonQueries();
    EXPECT_TRUE(windows.windowsOf(201).empty());
    EXPECT_TRUE(windows.shownWindows().empty());
    EXPECT_EQ(hyprland.commands().size(), asked);
}

TEST(HyprlandWindowSystemTest, FocusesAWindowByItsAddress)
{
    test::TemporaryFolder folder;
    FakeHyprland hyprland(folder.path());
    HyprlandWindowSystem windows(folder.path().string());
    const auto xterm = windows.windowsOf(202).at(0);
    hyprland.reply("dispatch focuswindow address:0x55d0c2a1d000", "ok");
    EXPECT_TRUE(windows.activate(xterm.id));
    EXPECT_EQ(hyprland.commands().back(), "dispatch focuswindow address:0x55d0c2a1d000");
    // An id never handed out asks nothing; a refusal is reported.
    const auto asked = hyprland.commands().size();
    EXPECT_FALSE(windows.activate(9999));
    EXPECT_EQ(hyprland.commands().size(), asked);
    hyprland.reply("dispatch focuswindow address:0x55d0c2a1d000", "No such window found");
    EXPECT_FALSE(windows.activate(xterm.id));

    HyprlandWindowSystem none("");
    EXPECT_FALSE(none.canListWindows());
    EXPECT_FALSE(none.canWatchActiveWindow());
    EXPECT_FALSE(none.activate(xterm.id));
}

TEST(HyprlandWindowSystemTest, FollowsEventLines)
{
    test::TemporaryFolder folder;
    FakeHyprland hyprland(folder.path());
    HyprlandWindowSystem windows(folder.path().string());
    ASSERT_TRUE(windows.canWatchActiveWindow());
    ASSERT_TRUE(test::waitUntil([&] { return hyprland.streaming(); }));
    QSignalSpy active(&windows, &WindowSystem::activeWindowChanged);
    QSignalSpy stacking(&windows, &WindowSystem::stackingChanged);

    hyprland.send("activewindow>>foot,second\nactivewindowv2>>55d0c2a1c000\n");
    ASSERT_TRUE(test::waitUntil([&] { return active.count() >= 1; }));
    EXPECT_EQ(stacking.count(), 0);
    // A line cut in two counts when it is whole; unknown events are ignored.
    hyprland.send("submap>>resize\nopenwin");
    test::settle();
    EXPECT_EQ(stacking.count(), 0);
    hyprland.send("dow>>55d0c2a1f000,1,foot,foot\n");
    ASSERT_TRUE(test::waitUntil([&] { return stacking.count() == 1; }));
}
