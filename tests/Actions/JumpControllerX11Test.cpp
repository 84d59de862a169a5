#include "Actions/JumpController.h"

#include "Actions/MultiplexerFocus.h"
#include "Actions/TerminalBinder.h"
#include "Actions/TerminalFocusRegistry.h"
#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingUrlOpener.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"

#include <QThreadPool>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;

namespace {

// An xterm of the test's own on the private display.
class XTerm
{
  public:
    XTerm(const std::string& display, const std::string& title)
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setenv("DISPLAY", display.c_str(), 1);
            ::execl("/usr/bin/xterm", "xterm", "-T", title.c_str(), "-e", "sleep", "120", nullptr);
            ::_exit(127);
        }
    }
    ~XTerm()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

  private:
    pid_t m_pid;
};

} // namespace

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

    XTerm first(x.display(), "first ~/alpha");
    XTerm second(x.display(), "second ~/beta");
    ASSERT_TRUE(test::waitUntil([&] {
        return windows.windowsOf(first.pid()).size() == 1 && windows.windowsOf(second.pid()).size() == 1;
    }));

    for (const XTerm* target : {&first, &second, &first}) {
        Session session;
        session.id = "claude:3f2a9c1e-1111";
        session.cwd = "/home/me/project";
        session.terminal.ownerPID = target->pid();
        std::optional<bool> result;
        controller.focus(session, [&result](bool focused) { result = focused; });
        ASSERT_TRUE(test::waitUntil([&result] { return result.has_value(); }));
        EXPECT_EQ(result, true);
        const auto active = windows.activeWindow();
        ASSERT_TRUE(active);
        EXPECT_EQ(active->pid, target->pid());
    }
}
