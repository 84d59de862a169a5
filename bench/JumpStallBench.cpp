// The main thread during terminal jumps: two xterms on an X display with openbox, twenty jumps
// between them, and a 1 ms timer on the main thread whose longest gap is the worst stall a jump
// caused. Without DISPLAY the program runs itself again under `xvfb-run -a`.

#include "BenchReport.h"
#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Platform/Linux/XdgUrlOpener.h"
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
#include <cstdlib>
#include <unistd.h>

using namespace velquist;

namespace {

constexpr double kTargetStallMs = 16.0;
constexpr int kJumps = 20;

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) {
        ::execlp("xvfb-run", "xvfb-run", "-a", argv[0], nullptr);
        std::fprintf(stderr, "xvfb-run is not installed\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    LinuxWindowSystem windows(LinuxWindowSystem::displayFromEnvironment());
    QProcess windowManager;
    if (!windows.canActivateWindows())
        windowManager.start("openbox", {"--sm-disable"});
    QProcess first, second;
    first.start("xterm", {"-T", "first", "-e", "sleep", "600"});
    second.start("xterm", {"-T", "second", "-e", "sleep", "600"});
    const auto shown = [&] {
        return windows.canActivateWindows() &&
               windows.windowsOf(static_cast<pid_t>(first.processId())).size() == 1 &&
               windows.windowsOf(static_cast<pid_t>(second.processId())).size() == 1;
    };
    if (!bench::runUntil(shown, 20000)) {
        std::fprintf(stderr, "the xterms did not appear under a window manager\n");
        return 1;
    }

    LinuxAppRegistry registry(windows,
                              LinuxAppRegistry::Options::forHome(HomePaths::fromEnvironment().home()));
    LinuxProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    TerminalBinder binder(registry, &tmux);
    MultiplexerFocus multiplexer(tmux);
    XdgUrlOpener urls(runner);
    TerminalFocusRegistry strategies(TerminalTools{runner, windows, urls, {}});
    QtScheduler scheduler;
    JumpController controller({binder, windows, multiplexer, strategies, urls, scheduler});

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
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
    std::printf("%d of %d jumps brought their terminal to the front; longest gap at rest %.1f ms\n", focused,
                kJumps, static_cast<double>(idle) / 1e6);
    bench::row("jump: longest main-thread stall", static_cast<double>(worst) / 1e6, "ms", kTargetStallMs,
               false);
    for (QProcess* process : {&first, &second, &windowManager})
        process->kill();
    for (QProcess* process : {&first, &second, &windowManager})
        process->waitForFinished();
    return focused == kJumps ? 0 : 1;
}
