#include "Terminal/JumpController.h"

#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "support/ChildProcess.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingUrlOpener.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;

TEST(JumpControllerX11Test, RaisesTheTerminalWindowOfTheSessionsProcess)
{
    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || ::access("/usr/bin/xterm", X_OK) != 0 || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb, openbox or xterm";
    LinuxWindowSystem windows(x.display());
    LinuxAppRegistry registry(windows, {{home.path()}, "C"});
    test::RecordingProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    TerminalBinder binder(registry, &tmux);
    MultiplexerFocus multiplexer(tmux);
    test::RecordingUrlOpener urls;
    TerminalFocusRegistry strategies(TerminalTools{runner, windows, urls, {}});
    QtScheduler scheduler;
    JumpController controller({binder, windows, multiplexer, strategies, urls, scheduler});
    // Destroyed first: no worker is left using the objects above.
    const struct WorkersDone
    {
        ~WorkersDone() { QThreadPool::globalInstance()->waitForDone(); }
    } workersDone;

    // The window manager focuses each new window on its own time: each terminal is waited for until it
    // is the active one, so no late focus of a new window undoes a jump below.
    const auto activeIs = [&windows](pid_t pid) {
        const auto active = windows.activeWindow();
        return active && active->pid == pid;
    };
    const test::ChildProcess first({"/usr/bin/xterm", "-T", "first", "-e", "sleep", "120"}, x.display());
    ASSERT_TRUE(
        test::waitUntil([&] { return windows.windowsOf(first.pid()).size() == 1 && activeIs(first.pid()); }));
    const test::ChildProcess second({"/usr/bin/xterm", "-T", "second", "-e", "sleep", "120"}, x.display());
    ASSERT_TRUE(test::waitUntil(
        [&] { return windows.windowsOf(second.pid()).size() == 1 && activeIs(second.pid()); }));

    for (const test::ChildProcess* target : {&first, &second, &first}) {
        Session session;
        session.id = "claude:3f2a9c1e-1111";
        session.cwd = "/home/me/project";
        session.terminal.ownerPID = target->pid();
        std::optional<bool> result;
        controller.focus(session, [&result](bool focused) { result = focused; });
        ASSERT_TRUE(test::waitUntil([&result] { return result.has_value(); }));
        EXPECT_EQ(result, true);
        // The window manager applies the activation request on its own time.
        EXPECT_TRUE(test::waitUntil([&] { return activeIs(target->pid()); }))
            << "window of pid " << target->pid() << " never became active";
    }
}
