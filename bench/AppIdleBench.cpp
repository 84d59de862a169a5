// The application at rest: `velquist` started offscreen in a temporary HOME with 20 saved sessions
// (owned by this process, so they are restored), then left alone. Prints its CPU use over the
// window and its resident memory. The window is VELQUIST_IDLE_SECONDS long (60 by default), so it
// can be run shorter.

#include "AppUnderTest.h"
#include "BenchReport.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <string>
#include <thread>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr int kSessions = 20;
constexpr double kTargetCpuPercent = 0.5;
constexpr double kTargetResidentMiB = 150.0;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = bench::idleSeconds(60);
    bench::BenchHome home;
    if (!home.isReady())
        return 1;
    home.saveSessions(kSessions, "idle", std::nullopt);

    QProcess velquist;
    if (!bench::startApp(velquist, home.environment("offscreen")))
        return 1;
    const qint64 pid = velquist.processId();
    // Start-up work is not idling.
    std::this_thread::sleep_for(3s);
    double peak = 0;
    const double percent = bench::cpuPercent(pid, seconds, peak);
    const double resident = bench::residentMiB(pid);
    const bool running = velquist.state() == QProcess::Running && percent >= 0;
    bench::stopApp(velquist);
    if (!running) {
        std::fprintf(stderr, "velquist stopped during the measurement\n");
        return 1;
    }
    std::printf("velquist idle with %d sessions for %d s: %.3f%% CPU, %.1f MiB resident (peak %.1f MiB)\n",
                kSessions, seconds, percent, resident, peak);
    const std::string cpuFigure =
        "application idle CPU, " + std::to_string(kSessions) + " sessions, " + std::to_string(seconds) + " s";
    bench::row(cpuFigure.c_str(), percent, "%", kTargetCpuPercent, false);
    const std::string memoryFigure =
        "application resident memory, " + std::to_string(kSessions) + " sessions";
    bench::row(memoryFigure.c_str(), resident, "MiB", kTargetResidentMiB, false);
    return 0;
}
