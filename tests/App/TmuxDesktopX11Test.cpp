#include "Attention/GlanceWatcher.h"

#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Terminal/JumpController.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "Terminal/TerminalRebinder.h"
#include "support/ChildProcess.h"
#include "support/ManualScheduler.h"
#include "support/RecordingUrlOpener.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A desktop as a user has it: openbox on a private X server, and a tmux server of the test's own
// (session "work": window 0 split into panes %0 and %1, window 1 with pane %2, the current one)
// that an xterm attaches to when the test says.
class TmuxDesktopX11Test : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto found = lookup.find("tmux", {"/usr/local/bin/tmux", "/usr/bin/tmux"});
        if (!x.isRunning() || !found || ::access("/usr/bin/xterm", X_OK) != 0 ||
            !x.startWindowManager(home.path()))
            GTEST_SKIP() << "no Xvfb, openbox, xterm or tmux";
        tmuxPath = *found;
        socket = (home.path() / "tmux.sock").string();
        ASSERT_TRUE(
            tmux({"-f", "/dev/null", "new-session", "-d", "-s", "work", "-x", "80", "-y", "24", "sleep 600"})
                .succeeded());
        ASSERT_TRUE(tmux({"split-window", "-t", "work:0", "sleep 600"}).succeeded());
        ASSERT_TRUE(tmux({"new-window", "-t", "work", "sleep 600"}).succeeded());
        serverPid = trimmed(tmux({"display-message", "-p", "#{pid}"}).output);
    }

    void TearDown() override
    {
        // Workers of a jump or a glance may still use the objects below.
        QThreadPool::globalInstance()->waitForDone();
        terminal.reset();
        if (!socket.empty())
            tmux({"kill-server"});
    }

    ProcessResult tmux(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"-S", socket});
        return runner.run({tmuxPath, arguments});
    }
    // The pane the attached client shows: the active pane of its session's active window.
    std::string shownPane() { return trimmed(tmux({"list-clients", "-F", "#{pane_id}"}).output); }
    bool activeIs(pid_t pid) const
    {
        const auto active = windows.activeWindow();
        return active && active->pid == pid;
    }

    // An xterm with a tmux client attached to the test's server, in front.
    void attachTerminal()
    {
        terminal = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/xterm", "-T", "tmux client", "-e", "/usr/bin/env", "-u",
                                     "TMUX", tmuxPath, "-S", socket, "attach-session", "-t", "work"},
            x.display());
        ASSERT_TRUE(test::waitUntil([&] { return !shownPane().empty() && activeIs(terminal->pid()); }));
    }

    // The session of an agent running in `pane`, as the hook client relays it.
    Session paneSession(const std::string& id, const std::string& pane)
    {
        Session session;
        session.id = id;
        session.cwd = "/home/me/project";
        session.terminal.env = {{"TMUX_PANE", pane}, {"TMUX", socket + "," + serverPid + ",0"}};
        session.terminal.ownerPID =
            std::stoll(trimmed(tmux({"display-message", "-p", "-t", pane, "#{pane_pid}"}).output));
        return session;
    }

    test::XServer x;
    test::TemporaryFolder home;
    LinuxWindowSystem windows{x.display()};
    LinuxAppRegistry registry{windows, {{home.path()}, "C"}};
    LinuxProcessRunner runner;
    CommandLookup lookup{runner};
    Tmux tmuxTool{runner, lookup};
    TerminalBinder binder{registry, &tmuxTool};
    std::string tmuxPath;
    std::string socket;
    std::string serverPid;
    std::unique_ptr<test::ChildProcess> terminal;
};

} // namespace

TEST_F(TmuxDesktopX11Test, GlanceMarksATmuxSessionReadOnlyWhileItsOwnPaneIsShown)
{
    test::ManualScheduler scheduler;
    SilenceRuleStore silence(home.path() / "silence.json");
    SessionStore store(scheduler, scheduler, home.path() / "sessions.json", &silence);
    store.disablePersistence();
    Session session = paneSession("claude:3f2a9c1e-1111", "%1");
    session.status = SessionStatus::Done{};
    store.upsert(session);
    attachTerminal();
    ASSERT_EQ(shownPane(), "%2");

    GlanceWatcher watcher({store, binder, windows, scheduler, scheduler});
    watcher.start();
    // Three seconds of looking: each second the pass's worker answers, then the clock moves on.
    const auto look = [&] {
        for (int second = 0; second <= 3; ++second) {
            QThreadPool::globalInstance()->waitForDone();
            test::settle(20ms);
            scheduler.advance(1s);
        }
        QThreadPool::globalInstance()->waitForDone();
        test::settle(20ms);
    };
    const auto read = [&] { return store.session(session.id)->doneSeenAt.has_value(); };

    // The terminal is in front, but shows another window of the session, then the other pane.
    look();
    EXPECT_FALSE(read());
    ASSERT_TRUE(tmux({"select-window", "-t", "work:0"}).succeeded());
    ASSERT_TRUE(tmux({"select-pane", "-t", "%0"}).succeeded());
    ASSERT_TRUE(test::waitUntil([&] { return shownPane() == "%0"; }));
    look();
    EXPECT_FALSE(read());
    EXPECT_TRUE(watcher.isWatching()) << "switching panes changes no window: the watch goes on";

    ASSERT_TRUE(tmux({"select-pane", "-t", "%1"}).succeeded());
    ASSERT_TRUE(test::waitUntil([&] { return shownPane() == "%1"; }));
    look();
    EXPECT_TRUE(read());
    watcher.stop();
}

TEST_F(TmuxDesktopX11Test, ATerminalAttachedAfterTheLastEventIsFoundWhenLookedFor)
{
    test::ManualScheduler scheduler;
    SilenceRuleStore silence(home.path() / "silence.json");
    SessionStore store(scheduler, scheduler, home.path() / "sessions.json", &silence);
    store.disablePersistence();
    const Session session = paneSession("claude:3f2a9c1e-1111", "%0");
    store.upsert(session);
    TerminalRebinder rebinder(store, binder);

    // No client yet: nothing to bind, and nothing pretends otherwise.
    rebinder.lookUpAll();
    QThreadPool::globalInstance()->waitForDone();
    test::settle(50ms);
    EXPECT_FALSE(store.session(session.id)->terminal.appName);

    attachTerminal();
    rebinder.lookUp(session.id);
    ASSERT_TRUE(test::waitUntil([&] { return store.session(session.id)->terminal.appName.has_value(); }));
    EXPECT_EQ(store.session(session.id)->terminal.appName, "XTerm");
    EXPECT_EQ(store.session(session.id)->terminal.bundleID, "xterm");
}

TEST_F(TmuxDesktopX11Test, AHundredJumpsAcrossXtermsTmuxPanesAndKittyWindowsLandEveryTime)
{
    QtScheduler scheduler;
    MultiplexerFocus multiplexer(tmuxTool);
    test::RecordingUrlOpener urls;
    const auto locate = [](const std::string& name, const RunningApp&) -> std::optional<std::string> {
        const std::string path = "/usr/bin/" + name;
        return ::access(path.c_str(), X_OK) == 0 ? std::optional(path) : std::nullopt;
    };
    TerminalFocusRegistry strategies(TerminalTools{runner, windows, urls, locate});
    JumpController controller({binder, windows, multiplexer, strategies, urls, scheduler});

    const test::ChildProcess first({"/usr/bin/xterm", "-T", "first", "-e", "sleep", "600"}, x.display());
    ASSERT_TRUE(test::waitUntil([&] { return activeIs(first.pid()); }));
    const test::ChildProcess second({"/usr/bin/xterm", "-T", "second", "-e", "sleep", "600"}, x.display());
    ASSERT_TRUE(test::waitUntil([&] { return activeIs(second.pid()); }));
    attachTerminal();

    struct Target
    {
        Session session;
        pid_t terminal;
        std::string pane; // empty outside tmux
        WindowId window;  // the window that must be in front, where the process has several; else 0
    };
    std::vector<Target> targets;
    for (const auto* plain : {&first, &second}) {
        Session session;
        session.id = "claude:plain-" + std::to_string(plain->pid());
        session.cwd = "/home/me/project";
        session.terminal.ownerPID = plain->pid();
        targets.push_back({session, plain->pid(), "", 0});
    }
    for (const std::string pane : {"%0", "%1", "%2"})
        targets.push_back({paneSession("claude:pane-" + pane, pane), terminal->pid(), pane, 0});

    // kitty, where it is installed: two OS windows of one process, told apart by its remote control.
    // Their titles cannot tell them apart: kitty's -T names every OS window of the process.
    std::unique_ptr<test::ChildProcess> kitty;
    if (::access("/usr/bin/kitty", X_OK) == 0) {
        const std::string address = "unix:" + (home.path() / "kitty.sock").string();
        // Each window's shell says what kitty told it: its address and window id.
        const auto announce = [&](const std::string& name) {
            return "echo \"$KITTY_LISTEN_ON $KITTY_WINDOW_ID\" > '" + (home.path() / name).string() +
                   "'; exec sleep 600";
        };
        const auto announced = [&](const std::string& name) {
            std::ifstream in(home.path() / name);
            std::string listen, id;
            in >> listen >> id;
            return std::pair(listen, id);
        };
        kitty = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/kitty", "-o", "allow_remote_control=yes", "--listen-on",
                                     address, "sh", "-c", announce("one")},
            x.display());
        ASSERT_TRUE(test::waitUntil([&] {
            return !announced("one").second.empty() && activeIs(kitty->pid());
        })) << "kitty did not start";
        const auto [listen, firstId] = announced("one");
        ASSERT_TRUE(test::waitUntil([&] {
            return runner
                .run({"/usr/bin/kitty",
                      {"@", "--to", listen, "launch", "--type=os-window", "sh", "-c", announce("two")}})
                .succeeded();
        }));
        ASSERT_TRUE(test::waitUntil([&] { return !announced("two").second.empty(); }));
        ASSERT_TRUE(test::waitUntil([&] { return windows.windowsOf(kitty->pid()).size() == 2; }));
        // The X window of each kitty window, as kitty lists its OS windows.
        const auto listed = nlohmann::json::parse(
            runner.run({"/usr/bin/kitty", {"@", "--to", listen, "ls"}}).output, nullptr, false);
        ASSERT_TRUE(listed.is_array());
        const auto platformWindow = [&](const std::string& kittyWindow) -> WindowId {
            for (const auto& os : listed)
                for (const auto& tab : os.value("tabs", nlohmann::json::array()))
                    for (const auto& window : tab.value("windows", nlohmann::json::array()))
                        if (std::to_string(window.value("id", -1)) == kittyWindow)
                            return os.value("platform_window_id", WindowId(0));
            return 0;
        };
        for (const std::string name : {"one", "two"}) {
            Session session;
            session.id = "claude:kitty-" + name;
            session.cwd = "/home/me/project";
            session.terminal.ownerPID = kitty->pid();
            session.terminal.env = {{"KITTY_LISTEN_ON", listen}, {"KITTY_WINDOW_ID", announced(name).second}};
            const WindowId window = platformWindow(announced(name).second);
            ASSERT_NE(window, 0u) << "kitty did not list window " << announced(name).second;
            targets.push_back({session, kitty->pid(), "", window});
        }
        ASSERT_NE(targets[targets.size() - 1].window, targets[targets.size() - 2].window);
    }

    for (int jump = 0; jump < 100; ++jump) {
        // Every pair of targets follows each other somewhere in the run.
        const Target& target = targets[(jump * 3 + jump / 5) % targets.size()];
        std::optional<bool> result;
        controller.focus(target.session, [&result](bool focused) { result = focused; });
        ASSERT_TRUE(test::waitUntil([&result] { return result.has_value(); })) << "jump " << jump;
        EXPECT_EQ(result, true) << "jump " << jump << " to " << target.session.id;
        EXPECT_TRUE(test::waitUntil([&] { return activeIs(target.terminal); }))
            << "jump " << jump << " to " << target.session.id;
        if (!target.pane.empty()) {
            EXPECT_EQ(shownPane(), target.pane) << "jump " << jump;
        }
        if (target.window != 0) {
            EXPECT_TRUE(test::waitUntil([&] {
                const auto active = windows.activeWindow();
                return active && active->id == target.window;
            })) << "jump "
                << jump << " to " << target.session.id;
        }
        if (HasFailure())
            break;
    }
}
