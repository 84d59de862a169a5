// The main thread during terminal jumps: two xterms on an X display with openbox, twenty jumps
// between them, and a 1 ms timer on the main thread whose longest gap is the worst stall a jump
// caused. Of each gap, the time the thread spent runnable but waiting for a CPU is left out (the
// kernel counts it per thread): that is what other programs on a loaded machine add, not what the
// jump made the thread do or wait for. The same timer at rest first is printed beside the figure.
// Without DISPLAY the program runs itself again under `xvfb-run -a`. It waits for each thing
// it needs (a window manager, each terminal's window) for as long as a loaded machine takes, and
// when one never comes it says which, as a figure not measured.

#include "BenchReport.h"
#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Platform/Linux/DesktopUrlOpener.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "ProcessFigures.h"
#include "Shared/HomePaths.h"
#include "Terminal/JumpController.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <utility>

using namespace velquist;

namespace {

constexpr double kTargetStallMs = 16.0;
constexpr int kJumps = 20;
constexpr const char* kFigure =
    "jump between two xterms under openbox: longest main-thread stall, time waiting for a CPU left out";
// Only a bound for a machine that will never get there; each wait ends as soon as its thing is there.
constexpr int kPatienceMs = 180000;

int notMeasured(const std::string& reason)
{
    std::fprintf(stderr, "%s\n", reason.c_str());
    bench::notMeasured(kFigure, reason);
    return 2;
}

// Waits until `ready` holds; a reason when it never does or `process` ends first.
std::string waitFor(const std::function<bool()>& ready, const QProcess& process, const std::string& what)
{
    bool ended = false;
    const bool reached = bench::runUntil(
        [&] {
            if (ready())
                return true;
            ended = process.state() == QProcess::NotRunning;
            return ended;
        },
        kPatienceMs);
    if (reached && !ended)
        return {};
    if (ended)
        return what + ": " + process.program().toStdString() + " ended first";
    return what + " within " + std::to_string(kPatienceMs / 1000) + " s";
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) {
        ::execlp("xvfb-run", "xvfb-run", "-a", argv[0], nullptr);
        return notMeasured("no X display: DISPLAY is unset and xvfb-run is not installed");
    }
    QCoreApplication app(argc, argv);
    LinuxWindowSystem windows(LinuxWindowSystem::displayFromEnvironment());
    QProcess windowManager;
    if (!windows.canActivateWindows()) {
        windowManager.start("openbox", {"--sm-disable"});
        if (!windowManager.waitForStarted(kPatienceMs))
            return notMeasured("no window manager: openbox did not start (is it installed?)");
        const auto reason = waitFor([&] { return windows.canActivateWindows(); }, windowManager,
                                    "openbox did not manage the display");
        if (!reason.empty())
            return notMeasured(reason);
    }
    QProcess first, second;
    for (auto [process, title] : {std::pair{&first, "first"}, std::pair{&second, "second"}}) {
        process->start("xterm", {"-T", title, "-e", "sleep", "600"});
        if (!process->waitForStarted(kPatienceMs))
            return notMeasured("no terminal: xterm did not start (is it installed?)");
    }
    for (auto [process, title] : {std::pair{&first, "first"}, std::pair{&second, "second"}}) {
        const auto reason = waitFor(
            [&, process = process] {
                return windows.windowsOf(static_cast<pid_t>(process->processId())).size() == 1;
            },
            *process, std::string("the xterm \"") + title + "\" showed no window");
        if (!reason.empty())
            return notMeasured(reason);
    }

    LinuxAppRegistry registry(windows,
                              LinuxAppRegistry::Options::forHome(HomePaths::fromEnvironment().home()));
    LinuxProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    TerminalBinder binder(registry, &tmux);
    MultiplexerFocus multiplexer(tmux);
    DesktopUrlOpener urls;
    TerminalFocusRegistry strategies(TerminalTools{runner, windows, urls, {}});
    QtScheduler scheduler;
    JumpController controller({binder, windows, multiplexer, strategies, urls, scheduler});

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 lastWait = bench::runQueueWaitNs();
    qint64 worst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 wait = bench::runQueueWaitNs();
        worst = std::max(worst, (now - last) - (wait - lastWait));
        last = now;
        lastWait = wait;
    });
    ticker.start(1);
    // The same timer with nothing else to do: what the machine itself adds to every gap.
    bench::runUntil([] { return false; }, 2000);
    const qint64 idle = worst;
    worst = 0;

    int focused = 0;
    for (int i = 0; i < kJumps; ++i) {
        Session session;
        session.id = "claude:3f2a9c1e-1111";
        session.cwd = "/tmp";
        session.terminal.ownerPID = (i % 2 ? first : second).processId();
        std::optional<bool> result;
        controller.focus(session, [&result](bool ok) { result = ok; });
        bench::runUntil([&result] { return result.has_value(); }, 10000);
        focused += result.value_or(false) ? 1 : 0;
    }
    ticker.stop();
    std::printf(
        "%d of %d jumps brought their terminal to the front; longest gap during the jumps %.1f ms, at "
        "rest %.1f ms (time waiting for a CPU left out of both)\n",
        focused, kJumps, static_cast<double>(worst) / 1e6, static_cast<double>(idle) / 1e6);
    bench::row(kFigure, static_cast<double>(worst) / 1e6, "ms", kTargetStallMs, false);
    for (QProcess* process : {&first, &second, &windowManager})
        process->kill();
    for (QProcess* process : {&first, &second, &windowManager})
        process->waitForFinished();
    return focused == kJumps ? 0 : 1;
}
