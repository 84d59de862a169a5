#include "Attention/GlanceWatcher.h"
#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Platform/Linux/CompositorFrontmostApplication.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/SwayWindowSystem.h"
#include "Terminal/JumpController.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "Windows/FullScreenWatcher.h"
#include "support/ManualScheduler.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingScreenProvider.h"
#include "support/RecordingUrlOpener.h"
#include "support/SwaySession.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// A headless sway with the window system that reads it; each test skips only when sway cannot run.
class SwayDesktopTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (::access("/usr/bin/foot", X_OK) != 0)
            GTEST_SKIP() << "foot is not installed";
        if (!sway.isRunning())
            GTEST_SKIP() << "headless sway cannot start here: " << sway.failure();
        windows = std::make_unique<SwayWindowSystem>(sway.socketPath());
        ASSERT_TRUE(windows->canWatchActiveWindow());
    }
    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }

    bool activeIs(pid_t pid) const
    {
        const auto active = windows->activeWindow();
        return active && active->pid == pid;
    }
    // A foot terminal, waited for until sway has mapped and focused it, as sway does with a new window.
    pid_t terminal(const std::string& title)
    {
        const pid_t pid = sway.launch({"/usr/bin/foot", "--title=" + title, "/bin/sleep", "300"});
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(
            test::waitUntil([&] { return windows->windowsOf(pid).size() == 1 && activeIs(pid); }, 60s))
            << "foot window \"" << title << "\" never appeared";
        return pid;
    }

    test::TemporaryFolder home;
    test::SwaySession sway;
    std::unique_ptr<SwayWindowSystem> windows;
};

} // namespace

TEST_F(SwayDesktopTest, AJumpFocusesTheTerminalOfTheSessionAcrossWorkspaces)
{
    LinuxAppRegistry registry(*windows, {{home.path()}, "C"});
    test::RecordingProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    TerminalBinder binder(registry, &tmux);
    MultiplexerFocus multiplexer(tmux);
    test::RecordingUrlOpener urls;
    TerminalFocusRegistry strategies(TerminalTools{runner, *windows, urls, {}});
    QtScheduler scheduler;
    JumpController controller({binder, *windows, multiplexer, strategies, urls, scheduler});
    CompositorFrontmostApplication frontmost(*windows);

    const pid_t first = terminal("first");
    ASSERT_TRUE(windows->runCommandText("workspace 2"));
    const pid_t second = terminal("second");
    EXPECT_NE(windows->windowsOf(first).at(0).desktop, windows->windowsOf(second).at(0).desktop);

    for (const pid_t target : {first, second, first}) {
        Session session;
        session.id = "claude:3f2a9c1e-1111";
        session.cwd = "/home/me/project";
        session.terminal.ownerPID = target;
        std::optional<bool> result;
        controller.focus(session, [&result](bool focused) { result = focused; });
        ASSERT_TRUE(test::waitUntil([&result] { return result.has_value(); }, 60s));
        EXPECT_EQ(result, true);
        EXPECT_TRUE(test::waitUntil([&] { return activeIs(target); }, 60s))
            << "window of pid " << target << " never became active";
        // The frontmost application follows the compositor's focus events.
        EXPECT_TRUE(test::waitUntil([&] { return frontmost.frontmostPid() == target; }, 60s));
    }
}

TEST_F(SwayDesktopTest, GlanceMarksAFinishedSessionReadAfterItsDwell)
{
    LinuxAppRegistry registry(*windows, {{home.path()}, "C"});
    TerminalBinder binder(registry);
    test::ManualScheduler scheduler;
    SilenceRuleStore silence(home.path() / "silence.json");
    SessionStore store(scheduler, scheduler, home.path() / "sessions.json", &silence);
    store.disablePersistence();

    const pid_t matching = terminal("~/work: 3f2a9c1e claude");
    const pid_t other = terminal("~/elsewhere: 77777777");
    for (const auto& [id, owner] :
         {std::pair{"claude:3f2a9c1e-1111", matching}, std::pair{"claude:5d5d5d5d-2222", other}}) {
        Session session;
        session.id = id;
        session.cwd = "/work";
        session.status = SessionStatus::Done{};
        session.terminal.ownerPID = owner;
        store.upsert(std::move(session));
    }
    GlanceWatcher watcher({store, binder, *windows, scheduler, scheduler});
    watcher.start();

    const auto lookAt = [&](pid_t pid) {
        ASSERT_TRUE(windows->activate(windows->windowsOf(pid).at(0).id));
        ASSERT_TRUE(test::waitUntil([&] { return activeIs(pid); }, 60s));
        // Each second: the pass's worker answers, then the clock moves on.
        for (int second = 0; second <= 3; ++second) {
            QThreadPool::globalInstance()->waitForDone();
            test::settle(20ms);
            scheduler.advance(1s);
        }
        QThreadPool::globalInstance()->waitForDone();
        test::settle(20ms);
    };
    // The other terminal names neither session key: both stay unread.
    lookAt(other);
    EXPECT_FALSE(store.session("claude:3f2a9c1e-1111")->doneSeenAt);
    EXPECT_FALSE(store.session("claude:5d5d5d5d-2222")->doneSeenAt);
    lookAt(matching);
    EXPECT_TRUE(store.session("claude:3f2a9c1e-1111")->doneSeenAt);
    EXPECT_FALSE(store.session("claude:5d5d5d5d-2222")->doneSeenAt);
    watcher.stop();
}

TEST_F(SwayDesktopTest, AFullScreenWindowIsSeenAsFullScreen)
{
    const auto output = sway.outputRect();
    ASSERT_TRUE(output);
    test::RecordingScreenProvider screens;
    ScreenInfo screen;
    screen.connector = QStringLiteral("HEADLESS-1");
    screen.geometry = *output;
    screen.availableGeometry = *output;
    screens.attached = {screen};
    int changes = 0;
    FullScreenWatcher watcher(*windows, screens, [&changes] { ++changes; });
    watcher.start();

    const pid_t pid = terminal("video");
    const WindowId id = windows->windowsOf(pid).at(0).id;
    EXPECT_TRUE(watcher.coveredScreenIDs().empty());
    ASSERT_TRUE(windows->runCommandText("[con_id=" + std::to_string(id) + "] fullscreen enable"));
    // The watcher hears of it from the compositor's window event, not from being asked.
    ASSERT_TRUE(test::waitUntil([&] { return !watcher.coveredScreenIDs().empty(); }, 60s));
    const auto shown = windows->shownWindows();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].isFullScreen);
    EXPECT_EQ(shown[0].frame, *output);

    ASSERT_TRUE(windows->runCommandText("[con_id=" + std::to_string(id) + "] fullscreen disable"));
    ASSERT_TRUE(test::waitUntil([&] { return watcher.coveredScreenIDs().empty(); }, 60s));
    EXPECT_FALSE(windows->window(id)->isFullScreen);
    EXPECT_GE(changes, 2);
}
