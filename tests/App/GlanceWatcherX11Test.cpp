#include "Attention/GlanceWatcher.h"

#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Terminal/TerminalBinder.h"
#include "support/ChildProcess.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryHome.h"

#include <QThreadPool>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

TEST(GlanceWatcherX11Test, TheActivatedWindowOfAnUnreadSessionMarksItReadAfterTheDwell)
{
    test::XServer x;
    test::TemporaryFolder folder;
    if (!x.isRunning() || !x.startWindowManager(folder.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    LinuxWindowSystem windows(x.display());
    LinuxAppRegistry registry(windows, {{folder.path()}, "C"});
    TerminalBinder binder(registry);
    test::ManualScheduler scheduler;
    SilenceRuleStore silence(folder.path() / "silence.json");
    SessionStore store(scheduler, scheduler, folder.path() / "sessions.json", &silence);
    store.disablePersistence();

    // Processes standing for two agents' terminals, each owning a window made for it.
    const test::ChildProcess matching({"/bin/sleep", "120"});
    const test::ChildProcess other({"/bin/sleep", "120"});
    const auto matchingWindow = x.makeWindow(matching.pid(), "term", "Term", true);
    x.setProperty(matchingWindow, "_NET_WM_NAME", "UTF8_STRING", "~/work: 3f2a9c1e claude");
    const auto otherWindow = x.makeWindow(other.pid(), "term", "Term", true);
    x.setProperty(otherWindow, "_NET_WM_NAME", "UTF8_STRING", "~/elsewhere: 77777777");
    for (const auto& [id, owner] : {std::pair{"claude:3f2a9c1e-1111", matching.pid()},
                                    std::pair{"claude:5d5d5d5d-2222", other.pid()}}) {
        Session session;
        session.id = id;
        session.cwd = "/work";
        session.status = SessionStatus::Done{};
        session.terminal.ownerPID = owner;
        store.upsert(std::move(session));
    }
    GlanceWatcher watcher({store, binder, windows, scheduler, scheduler});
    // Destroyed first: no worker is left using the objects above.
    const struct WorkersDone
    {
        ~WorkersDone() { QThreadPool::globalInstance()->waitForDone(); }
    } workersDone;
    watcher.start();

    const auto lookAt = [&](xcb_window_t window) {
        ASSERT_TRUE(windows.activate(window));
        ASSERT_TRUE(
            test::waitUntil([&] { return windows.activeWindow() && windows.activeWindow()->id == window; }));
        // Each second: the pass's worker answers, then the clock moves on.
        for (int second = 0; second <= 3; ++second) {
            QThreadPool::globalInstance()->waitForDone();
            test::settle(std::chrono::milliseconds(20));
            scheduler.advance(1s);
        }
        QThreadPool::globalInstance()->waitForDone();
        test::settle(std::chrono::milliseconds(20));
    };
    // The other window names neither session key: both stay unread.
    lookAt(otherWindow);
    EXPECT_FALSE(store.session("claude:3f2a9c1e-1111")->doneSeenAt);
    EXPECT_FALSE(store.session("claude:5d5d5d5d-2222")->doneSeenAt);
    lookAt(matchingWindow);
    EXPECT_TRUE(store.session("claude:3f2a9c1e-1111")->doneSeenAt);
    EXPECT_FALSE(store.session("claude:5d5d5d5d-2222")->doneSeenAt);
    watcher.stop();
}
