#include "Attention/GlanceWatcher.h"
#include "Core/CommandLookup.h"
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
#include "support/FakeSway.h"
#include "support/ManualScheduler.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingScreenProvider.h"
#include "support/RecordingUrlOpener.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;

// Every road that asks a compositor something from the main thread's doings (reading the
// full-screen windows, handing focus back, a jump, a glance, and a focus event that wakes them
// all) while the compositor holds its answer: the main thread goes on with its queue meanwhile.
// Each question waits at most its time-out, so a main thread that asked itself would run the
// queued call only after the client had given up and closed its end.
TEST(StalledCompositorTest, NoQuestionToTheCompositorHoldsUpTheMainThread)
{
    test::TemporaryFolder home;
    test::FakeSway sway(home.path());
    sway.reply(SwayWindowSystem::getTree, test::FakeSway::recordedTree);
    sway.reply(SwayWindowSystem::runCommand, R"([{"success": true}])");
    SwayWindowSystem windows(sway.path());
    ASSERT_TRUE(test::waitUntil([&] { return sway.subscribed(); }));

    QThreadPool workers;
    test::RecordingScreenProvider screens;
    ScreenInfo output;
    output.connector = QStringLiteral("HEADLESS-1");
    output.geometry = output.availableGeometry = QRect(0, 0, 1920, 1080);
    screens.attached = {output};
    FullScreenWatcher fullScreen(windows, screens, {}, &workers);

    CompositorFrontmostApplication frontmost(windows);
    ASSERT_TRUE(test::waitUntil([&] { return frontmost.activeWindow() == 7u; }));

    LinuxAppRegistry registry(windows, {{home.path()}, "C"});
    TerminalBinder binder(registry);
    test::RecordingProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    MultiplexerFocus multiplexer(tmux);
    test::RecordingUrlOpener urls;
    TerminalFocusRegistry strategies(TerminalTools{runner, windows, urls, {}});
    test::ManualScheduler scheduler;
    JumpController jump({binder, windows, multiplexer, strategies, urls, scheduler});

    SilenceRuleStore silence(home.path() / "silence.json");
    SessionStore store(scheduler, scheduler, home.path() / "sessions.json", &silence);
    store.disablePersistence();
    Session finished;
    finished.id = "claude:3f2a9c1e-1111";
    finished.cwd = "/work";
    finished.status = SessionStatus::Done{};
    finished.terminal.ownerPID = ::getpid();
    store.upsert(finished);
    GlanceWatcher glance({store, binder, windows, scheduler, scheduler, &workers});

    struct Case
    {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"reading the full-screen windows", [&] { fullScreen.start(); }},
        {"handing the focus back", [&] { frontmost.activate(4); }},
        {"a jump", [&] { jump.focus(finished, [](bool) {}); }},
        {"a glance", [&] { glance.start(); }},
        {"a focus event", [&] { sway.send(SwayWindowSystem::frame(0x80000003u, R"({"change": "focus"})")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto asked = sway.requests().size();
        sway.hold();
        c.act();
        bool queuedRan = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&queuedRan] { queuedRan = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(test::waitUntil([&] { return queuedRan && sway.holdsRequest(); }));
        EXPECT_TRUE(sway.holdsWaitingClient())
            << "the queued call ran while the compositor still held the question";
        EXPECT_GT(sway.requests().size(), asked);
        sway.release();
        ASSERT_TRUE(test::waitUntil([&] { return !sway.holdsRequest(); }));
        test::drain({&workers, QThreadPool::globalInstance()});
    }
    EXPECT_FALSE(fullScreen.coveredScreenIDs().empty()) << "the answers arrived once given";
    glance.stop();
    test::drain({&workers, QThreadPool::globalInstance()});
}
