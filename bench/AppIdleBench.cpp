// The application at rest: `velquist` started offscreen in a temporary HOME with 20 saved sessions
// (owned by this process, so they are restored), then left alone. Prints its CPU use over the
// window and its resident memory. The window is VELQUIST_IDLE_SECONDS long (60 by default), so it
// can be run shorter.

#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"
#include "ProcessFigures.h"
#include "Shared/AppPaths.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kSessions = 20;
constexpr double kTargetCpuPercent = 1.0;
constexpr double kTargetResidentMiB = 150.0;

void saveSessions()
{
    SystemClock clock;
    QtScheduler scheduler;
    SessionStore store(clock, scheduler, AppPaths::sessionsFile());
    for (int i = 0; i < kSessions; ++i) {
        Session session;
        session.id = "claude:idle-" + std::to_string(i);
        session.agent = AgentKind::claudeCode;
        session.cwd = "/home/dev/project-" + std::to_string(i);
        session.startedAt = clock.now();
        session.updatedAt = clock.now();
        session.terminal.ownerPID = ::getpid();
        session.lastActivity = "Read src/file" + std::to_string(i) + ".cpp";
        store.upsert(std::move(session));
    }
    store.saveNow();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const char* configured = std::getenv("VELQUIST_IDLE_SECONDS");
    const int seconds = std::max(1, configured ? std::atoi(configured) : 60);

    char pattern[] = "/tmp/velquist-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path home(pattern);
    ::setenv("HOME", pattern, 1);
    const fs::path runtime = home / "runtime";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    fs::create_directories(AppPaths::appSupport());
    ::chmod(AppPaths::appSupport().c_str(), 0700);
    saveSessions();

    QProcess velquist;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(home.string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    velquist.setProcessEnvironment(environment);
    velquist.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    velquist.setStandardOutputFile(QProcess::nullDevice());
    velquist.start(VELQUIST_APP_PATH, {});
    if (!velquist.waitForStarted(10000)) {
        std::fprintf(stderr, "velquist did not start\n");
        return 1;
    }
    const qint64 pid = velquist.processId();
    // Start-up work is not idling.
    std::this_thread::sleep_for(3s);
    const double cpuBefore = bench::cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    double peak = 0;
    for (int second = 0; second < seconds; ++second) {
        std::this_thread::sleep_for(1s);
        peak = std::max(peak, bench::residentMiB(pid));
    }
    const double cpuAfter = bench::cpuSeconds(pid);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double resident = bench::residentMiB(pid);
    const bool running = velquist.state() == QProcess::Running && cpuAfter >= 0;

    velquist.terminate();
    if (!velquist.waitForFinished(10000)) {
        velquist.kill();
        velquist.waitForFinished(5000);
    }
    std::error_code error;
    fs::remove_all(home, error);
    if (!running || cpuBefore < 0) {
        std::fprintf(stderr, "velquist stopped during the measurement\n");
        return 1;
    }
    const double percent = 100.0 * (cpuAfter - cpuBefore) / elapsed;
    std::printf("velquist idle with %d sessions for %.0f s: %.3f%% CPU, %.1f MiB resident (peak %.1f MiB)\n",
                kSessions, elapsed, percent, resident, peak);
    const std::string cpuFigure =
        "application idle CPU, " + std::to_string(kSessions) + " sessions, " + std::to_string(seconds) + " s";
    bench::row(cpuFigure.c_str(), percent, "%", kTargetCpuPercent, false);
    const std::string memoryFigure =
        "application resident memory, " + std::to_string(kSessions) + " sessions";
    bench::row(memoryFigure.c_str(), resident, "MiB", kTargetResidentMiB, false);
    return 0;
}
