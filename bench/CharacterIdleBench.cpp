// The character animating in the bar while nothing else happens: the default pack's layer in a
// shown window (offscreen), with one working session so it runs its busiest lasting mood, on the
// real timers. Prints this process's CPU use over the window, which is VELQUIST_IDLE_SECONDS long
// (60 by default).

#include "BenchReport.h"
#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterLayer.h"
#include "Characters/CharacterView.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"
#include "Platform/UserDefaults.h"
#include "Shared/AppPaths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

constexpr double kTargetCpuPercent = 0.5;
constexpr int kBarHeight = 32;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const char* configured = std::getenv("VELQUIST_IDLE_SECONDS");
    const int seconds = std::max(1, configured ? std::atoi(configured) : 60);

    char pattern[] = "/tmp/velquist-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path folder(pattern);
    SystemClock clock;
    QtScheduler scheduler;
    SilenceRuleStore silence(folder / "silence-rules.json");
    SessionStore store(clock, scheduler, folder / "sessions.json", &silence);
    UserDefaults defaults;
    const CharacterCatalog catalog(CharacterCatalog::bundledDirectory(AppPaths::resourceDirectory()));
    if (catalog.packs().empty()) {
        std::fprintf(stderr, "no character packs under %s\n", AppPaths::resourceDirectory().c_str());
        return 1;
    }

    QWidget bar;
    auto* row = new QHBoxLayout(&bar);
    auto* layer = new CharacterLayer(store, defaults, catalog, clock, scheduler, kBarHeight, &bar);
    row->addWidget(layer);
    bar.show();

    Session session;
    session.id = "claude:bench";
    session.cwd = "/home/dev/project";
    session.status = SessionStatus::Working{"Thinking…"};
    session.terminal.ownerPID = ::getpid();
    store.upsert(session);

    // Start-up work (cutting the frames, the first exposure) is not idling.
    bench::runUntil([&] { return layer->view().isAnimating(); }, 10000);
    QElapsedTimer settle;
    settle.start();
    bench::runUntil([&] { return settle.elapsed() > 1000; });
    if (!layer->view().isAnimating()) {
        std::fprintf(stderr, "the character does not animate\n");
        return 1;
    }

    const double before = cpuSeconds();
    QElapsedTimer window;
    window.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double elapsed = static_cast<double>(window.elapsed()) / 1000.0;
    const double percent = 100.0 * (cpuSeconds() - before) / elapsed;

    std::error_code error;
    fs::remove_all(folder, error);
    std::printf("character animating (%s, %.0f ticks/s) for %.0f s: %.3f%% CPU\n",
                std::string(toString(layer->mood())).c_str(), layer->view().samplingFPS(), elapsed, percent);
    const std::string figure = "character animating in the bar, idle CPU, " + std::to_string(seconds) + " s";
    bench::row(figure.c_str(), percent, "%", kTargetCpuPercent, false);
    return 0;
}
