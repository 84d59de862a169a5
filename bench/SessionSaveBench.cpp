// The main thread's share of one save of the sessions file: 200 sessions, each holding every free
// text at its bound. The encoding and the write run on a pool thread; what the main thread pays is
// the copy of the table and the hand-over.
#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
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
    std::vector<double> stalls;
    for (int round = 0; round < 20; ++round) {
        store.update("claude:bench-0", [round](Session& s) { s.lastActivity = std::to_string(round); });
        // The debounced save fires from the scheduler a second later: the longest single turn of
        // the event loop until then is the stall it caused.
        bool past = false;
        scheduler.schedule(std::chrono::milliseconds(1100), [&] { past = true; });
        double longest = 0;
        while (!past) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, static_cast<double>(turn.nsecsElapsed()) / 1e6);
        }
        stalls.push_back(longest);
        store.flushSaves();
    }
    std::sort(stalls.begin(), stalls.end());
    bench::row("main-thread stall of one save, 200 sessions of maximal text (worst)", stalls.back(), "ms", 16,
               false);
    return 0;
}
