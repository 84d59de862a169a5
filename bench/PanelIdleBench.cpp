// The application with its panel on an X display: `velquist` started on a private Xvfb in a
// temporary HOME with 20 working sessions (owned by this process, so they are restored), measured
// first with the panel collapsed, then held open by the pointer resting on it. Prints the CPU use of
// each window and the resident memory. Each window is VELQUIST_IDLE_SECONDS long (30 by default).
// Needs Xvfb and xdotool.

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
#include <poll.h>
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
constexpr double kTargetCollapsedCpuPercent = 0.5;
constexpr double kTargetExpandedCpuPercent = 2.0;
constexpr double kTargetResidentMiB = 150.0;

void saveSessions()
{
    SystemClock clock;
    QtScheduler scheduler;
    SessionStore store(clock, scheduler, AppPaths::sessionsFile());
    for (int i = 0; i < kSessions; ++i) {
        Session session;
        session.id = "claude:panel-" + std::to_string(i);
        session.agent = AgentKind::claudeCode;
        session.cwd = "/home/dev/project-" + std::to_string(i);
        session.status = SessionStatus::Working{"Reading"};
        session.startedAt = clock.now();
        session.updatedAt = clock.now();
        session.terminal.ownerPID = ::getpid();
        session.lastActivity = "Read src/file" + std::to_string(i) + ".cpp";
        store.upsert(std::move(session));
    }
    store.saveNow();
}

// A private X server; its display name, or empty.
std::string startXvfb(QProcess& server)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setChildProcessModifier([fd = fds[0]] { ::close(fd); });
    server.start("/usr/bin/Xvfb",
                 {"-displayfd", QString::number(fds[1]), "-nolisten", "tcp", "-screen", "0", "1440x900x24"});
    ::close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char buffer[32] = {};
    std::string display;
    if (::poll(&ready, 1, 20000) == 1 && ::read(fds[0], buffer, sizeof buffer - 1) > 0)
        display = ":" + std::to_string(std::atoi(buffer));
    ::close(fds[0]);
    return display;
}

// CPU use of `pid` in percent of one core over `seconds`; negative when it stopped.
double measure(qint64 pid, int seconds, double& peakMiB)
{
    const double before = bench::cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    for (int second = 0; second < seconds; ++second) {
        std::this_thread::sleep_for(1s);
        peakMiB = std::max(peakMiB, bench::residentMiB(pid));
    }
    const double after = bench::cpuSeconds(pid);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0)
        return -1;
    return 100.0 * (after - before) / elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const char* configured = std::getenv("VELQUIST_IDLE_SECONDS");
    const int seconds = std::max(1, configured ? std::atoi(configured) : 30);

    QProcess server;
    const std::string display = startXvfb(server);
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
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
    environment.insert("DISPLAY", QString::fromStdString(display));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
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
    const auto pointer = [&](int x, int y) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start("xdotool", {"mousemove", QString::number(x), QString::number(y)});
        tool.waitForFinished(10000);
    };
    pointer(720, 880);
    // Start-up work is not idling.
    std::this_thread::sleep_for(3s);
    double peak = 0;
    const double collapsed = measure(pid, seconds, peak);
    // Resting on the notch opens the panel and keeps it open.
    pointer(720, 8);
    std::this_thread::sleep_for(2s);
    const double expanded = measure(pid, seconds, peak);
    const double resident = bench::residentMiB(pid);
    const bool running = velquist.state() == QProcess::Running && collapsed >= 0 && expanded >= 0;

    velquist.terminate();
    if (!velquist.waitForFinished(10000)) {
        velquist.kill();
        velquist.waitForFinished(5000);
    }
    server.terminate();
    server.waitForFinished(5000);
    std::error_code error;
    fs::remove_all(home, error);
    if (!running) {
        std::fprintf(stderr, "velquist stopped during the measurement\n");
        return 1;
    }
    std::printf("velquist with its panel and %d working sessions, %d s each: collapsed %.3f%% CPU, "
                "expanded %.3f%% CPU, %.1f MiB resident (peak %.1f MiB)\n",
                kSessions, seconds, collapsed, expanded, resident, peak);
    bench::row("panel collapsed idle CPU, 20 working sessions", collapsed, "%", kTargetCollapsedCpuPercent,
               false);
    bench::row("panel expanded CPU, 20 working sessions", expanded, "%", kTargetExpandedCpuPercent, false);
    bench::row("application with panel, resident memory", resident, "MiB", kTargetResidentMiB, false);
    return 0;
}
