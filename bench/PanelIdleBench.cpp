// The application with its panel on an X display: `velquist` started on a private Xvfb in a
// temporary HOME with 20 working sessions (owned by this process, so they are restored), measured
// first with the panel collapsed, then held open by the pointer resting on it. Prints the CPU use of
// each window and the resident memory. Each window is VELQUIST_IDLE_SECONDS long (30 by default).
// Needs Xvfb and xdotool.

#include "AppUnderTest.h"
#include "BenchReport.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr int kSessions = 20;
constexpr double kTargetCollapsedCpuPercent = 0.5;
constexpr double kTargetExpandedCpuPercent = 2.0;
constexpr double kTargetResidentMiB = 150.0;

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = bench::idleSeconds(30);

    QProcess server;
    const std::string display = startXvfb(server);
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    bench::BenchHome home;
    if (!home.isReady())
        return 1;
    home.saveSessions(kSessions, "panel", SessionStatus::Working{"Reading"});

    QProcess velquist;
    QProcessEnvironment environment = home.environment("xcb");
    environment.insert("DISPLAY", QString::fromStdString(display));
    environment.remove("WAYLAND_DISPLAY");
    if (!bench::startApp(velquist, environment))
        return 1;
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
    const double collapsed = bench::cpuPercent(pid, seconds, peak);
    // Resting on the notch opens the panel and keeps it open.
    pointer(720, 8);
    std::this_thread::sleep_for(2s);
    const double expanded = bench::cpuPercent(pid, seconds, peak);
    const double resident = bench::residentMiB(pid);
    const bool running = velquist.state() == QProcess::Running && collapsed >= 0 && expanded >= 0;

    bench::stopApp(velquist);
    server.terminate();
    server.waitForFinished(5000);
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
