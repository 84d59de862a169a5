// The main thread's share of one save of the sessions file: 200 sessions, each holding every free
// text at its bound. The encoding and the write run on a pool thread; what the main thread pays is
// the copy of the table and the hand-over. Each round with a save alternates with a control round,
// the same event loop for the same time with nothing to save, and the figure is the longest turn
// with the save less the longest turn of the controls: what the machine's own noise adds is in both.
#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
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
    // The debounced save fires from the scheduler a second later: the longest single turn of the
    // event loop until then is the stall it caused.
    const auto longestTurn = [&] {
        bool past = false;
        scheduler.schedule(std::chrono::milliseconds(1100), [&] { past = true; });
        double longest = 0;
        while (!past) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, static_cast<double>(turn.nsecsElapsed()) / 1e6);
        }
        return longest;
    };
    std::vector<double> stalls, controls;
    for (int round = 0; round < 20; ++round) {
        store.update("claude:bench-0", [round](Session& s) { s.lastActivity = std::to_string(round); });
        stalls.push_back(longestTurn());
        store.flushSaves();
        controls.push_back(longestTurn());
    }
    std::sort(stalls.begin(), stalls.end());
    std::sort(controls.begin(), controls.end());
    const auto median = [](const std::vector<double>& sorted) { return sorted[sorted.size() / 2]; };
    std::printf(
        "longest turn with a save: worst %.2f ms, median %.2f ms; control: worst %.2f ms, median %.2f ms\n",
        stalls.back(), median(stalls), controls.back(), median(controls));
    bench::row("main-thread stall of one save, 200 sessions of maximal text, worst less the control's worst",
               stalls.back() - controls.back(), "ms", 16, false);
    bench::row(
        "main-thread stall of one save, 200 sessions of maximal text, median less the control's median",
        median(stalls) - median(controls), "ms", 16, false);
    return 0;
}
