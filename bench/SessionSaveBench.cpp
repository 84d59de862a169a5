// The main thread's share of one save of the sessions file: 200 sessions, each holding every free
// text at its bound. The encoding and the write run on a pool thread; what the main thread pays is
// the copy of the table and the hand-over. The figure is the longest gap of a 1 ms timer on the
// main thread until the debounced save has fired, with the time the thread spent waiting for a CPU
// left out (the kernel counts it per thread): on a loaded machine that wait, not the save, would
// make the longest gap. Each round with a save alternates with a control round, the same event loop for the
// same time with nothing to save, printed beside the figure so a reader sees what is left of the noise.
#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"
#include "ProcessFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velquist;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    SystemClock clock;
    QtScheduler scheduler;
    SilenceRuleStore silence(std::filesystem::path(folder.path().toStdString()) / "silence-rules.json");
    SessionStore store(clock, scheduler, std::filesystem::path(folder.path().toStdString()) / "sessions.json",
                       &silence);
    const std::string longText(Session::kLongTextCharacters * 2, 'p');
    const std::string shortText(Session::kShortTextCharacters * 2, 'a');
    for (int i = 0; i < 200; ++i) {
        Session session;
        session.id = "claude:bench-" + std::to_string(i);
        session.cwd = longText;
        session.status = SessionStatus::Done{longText};
        session.lastActivity = shortText;
        session.aiTitle = shortText;
        session.firstPrompt = longText;
        session.startedAt = session.updatedAt = clock.now();
        store.upsert(session);
    }
    // The debounced save fires from the scheduler a second later. Until then a 1 ms timer ticks on
    // the main thread: its longest gap, less the time the thread waited for a CPU meanwhile, is the
    // stall the save caused (at rest the gap is the timer's own millisecond).
    const auto longestGap = [&] {
        QEventLoop loop;
        scheduler.schedule(std::chrono::milliseconds(1100), [&] { loop.quit(); });
        QElapsedTimer clock;
        clock.start();
        qint64 last = clock.nsecsElapsed();
        qint64 lastWait = bench::runQueueWaitNs();
        qint64 longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            const qint64 wait = bench::runQueueWaitNs();
            longest = std::max(longest, (now - last) - (wait - lastWait));
            last = now;
            lastWait = wait;
        });
        ticker.start(1);
        loop.exec();
        return static_cast<double>(longest) / 1e6;
    };
    std::vector<double> stalls, controls;
    for (int round = 0; round < 20; ++round) {
        store.update("claude:bench-0", [round](Session& s) { s.lastActivity = std::to_string(round); });
        stalls.push_back(longestGap());
        store.flushSaves();
        controls.push_back(longestGap());
    }
    std::sort(stalls.begin(), stalls.end());
    std::sort(controls.begin(), controls.end());
    const auto median = [](const std::vector<double>& sorted) { return sorted[sorted.size() / 2]; };
    std::printf("longest gap with a save: worst %.2f ms, median %.2f ms; control without one: worst %.2f ms, "
                "median %.2f ms (time waiting for a CPU left out of all)\n",
                stalls.back(), median(stalls), controls.back(), median(controls));
    bench::row("main-thread stall of one save, 200 sessions of maximal text: longest gap of a 1 ms timer, "
               "worst of 20",
               stalls.back(), "ms", 16, false);
    bench::row("main-thread stall of one save, 200 sessions of maximal text: longest gap of a 1 ms timer, "
               "median of 20",
               median(stalls), "ms", 16, false);
    return 0;
}
