// The application with its panel at rest on an X display: the real `velquist` on a private Xvfb
// (1920x1080, white root) under openbox, in a temporary HOME with the introduction marked played and
// saved sessions owned by this process (so they are restored). Each state runs in its own
// application:
//   - 20 working sessions, the panel collapsed (the pointer away from it);
//   - the same, the panel held open by the pointer resting on the notch;
//   - one finished, unread session, the panel held open (its card breathes);
//   - 200 working sessions, the panel collapsed.
// The CPU counted is the application's plus the X server's, which draws what the application
// sends it. Before and after each window a pixel under the bar is read back from the screen, so a
// state that was meant open really was (and a collapsed one really was not). Each window is
// VELQUIST_IDLE_SECONDS long (20 by default). VELQUIST_IDLE_STATES picks states by number (from 1,
// "1,3"); VELQUIST_BENCH_APP runs another build of the application, so two builds can be compared
// in turn on one display. Needs Xvfb, openbox and xdotool.

#include "AppUnderTest.h"
#include "BenchReport.h"
#include "ScreenProbe.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// A point of the open sheet just under the bar; the white root shows there while collapsed.
constexpr int kProbeX = kScreenWidth / 2;
constexpr int kProbeY = 70;
constexpr double kTargetResidentMiB = 200.0;

struct State
{
    const char* figure;
    int sessions;
    bool finished; // the sessions are finished and unread, not working
    bool open;
    double target;
};

const State kStates[] = {
    {"panel collapsed, 20 working sessions, CPU with X server", 20, false, false, 0.5},
    {"panel held open, 20 working sessions, CPU with X server", 20, false, true, 2.0},
    {"panel open, one finished unread session, CPU with X server", 1, true, true, 2.0},
    {"panel collapsed, 200 working sessions, CPU with X server", 200, false, false, 1.0},
};

// A private X server with a white root; its display name, or empty. The server writes its display
// number to its standard output once it accepts connections.
std::string startXvfb(QProcess& server)
{
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString screen = QString("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight);
    server.start("/usr/bin/Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-wr", "-screen", "0", screen});
    if (!server.waitForStarted(10000))
        return {};
    QByteArray out;
    for (int wait = 0; wait < 200 && !out.contains('\n'); ++wait) {
        server.waitForReadyRead(100);
        out += server.readAllStandardOutput();
    }
    bool number = false;
    const int displayNumber = out.trimmed().toInt(&number);
    return number ? ":" + std::to_string(displayNumber) : std::string();
}

// Runs a tool on the display; its standard output, or empty when it failed.
QString run(const QProcessEnvironment& environment, const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return {};
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// Waits until `done` holds, up to `seconds`.
bool waitFor(const std::function<bool()>& done, int seconds)
{
    for (int tenth = 0; tenth < seconds * 10; ++tenth) {
        if (done())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return done();
}

// Whether the pixel under the bar is dark (the panel's body), read by this program itself in a
// child connected to the display (see screenProbeMain).
bool panelShowsOpen(const QProcessEnvironment& environment, bool& readable, const QString& label = "probe")
{
    const QString out = run(environment, QCoreApplication::applicationFilePath(), {"--probe", label});
    readable = !out.isEmpty();
    return out.trimmed() == "dark";
}

struct Figures
{
    double cpu = -1;     // application and X server, % of one core
    double appCpu = -1;  // the application alone
    double wakeUps = -1; // the application's main thread, per second
    double residentMiB = -1;
};

// Tells the application through the hook client that each restored session took a prompt, so it
// is working now (a working status is not restored from disk). False when a client failed.
bool promptSessions(const QProcessEnvironment& environment, int count)
{
    for (int i = 0; i < count; ++i) {
        const nlohmann::json payload{{"hook_event_name", "UserPromptSubmit"},
                                     {"session_id", "panel-" + std::to_string(i)},
                                     {"cwd", "/home/dev/project-" + std::to_string(i)},
                                     {"prompt", "Run the tests and fix what fails"}};
        QProcess client;
        client.setProcessEnvironment(environment);
        client.start(VELQUIST_QUORVEL_PATH, {"--engine", "claude"});
        client.write(QByteArray::fromStdString(payload.dump()));
        client.closeWriteChannel();
        if (!client.waitForFinished(10000) || client.exitCode() != 0)
            return false;
    }
    return true;
}

// Voluntary and involuntary context switches of a process's main thread.
double contextSwitches(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    double total = 0;
    while (std::getline(in, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
            line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            total += std::stod(line.substr(line.find(':') + 1));
    }
    return total;
}

// One state in a fresh application; false (with a reason on standard error) when it was not reached.
bool measure(int index, const State& state, const std::string& display, qint64 serverPid, int seconds,
             Figures& figures)
{
    bench::BenchHome home;
    if (!home.isReady())
        return false;
    std::optional<SessionStatus> status = SessionStatus::Working{"Reading"};
    if (state.finished)
        status = SessionStatus::Done{std::string("All tests pass")};
    home.saveSessions(state.sessions, "panel", status);

    QProcessEnvironment environment = home.environment("xcb");
    environment.insert("DISPLAY", QString::fromStdString(display));
    environment.remove("WAYLAND_DISPLAY");
    const auto pointer = [&](int x, int y) {
        run(environment, "xdotool", {"mousemove", QString::number(x), QString::number(y)});
    };
    pointer(kScreenWidth / 2, kScreenHeight - 20);

    QProcess velquist;
    const char* override = std::getenv("VELQUIST_BENCH_APP");
    velquist.setProcessEnvironment(environment);
    velquist.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    velquist.setStandardOutputFile(QProcess::nullDevice());
    velquist.start(override ? QString::fromLocal8Bit(override) : QString(VELQUIST_APP_PATH), {});
    if (!velquist.waitForStarted(10000)) {
        std::fprintf(stderr, "velquist did not start\n");
        return false;
    }
    const qint64 pid = velquist.processId();
    bool ok = true;
    const auto fail = [&](const char* why) {
        std::fprintf(stderr, "%s: %s\n", state.figure, why);
        ok = false;
    };
    // The panel window appears once start-up is done.
    if (!waitFor(
            [&] {
                return !run(environment, "xdotool", {"search", "--name", "^Velquist$"}).isEmpty();
            },
            20))
        fail("the panel window did not appear");
    if (ok && !state.finished && !promptSessions(environment, state.sessions))
        fail("the hook client could not reach the application");
    if (ok && state.open)
        pointer(kScreenWidth / 2, 6);
    bool readable = true;
    if (ok && !waitFor([&] { return panelShowsOpen(environment, readable) == state.open || !readable; }, 10))
        fail(state.open ? "the panel did not open" : "the panel did not stay collapsed");
    if (ok && !readable)
        fail("the screen could not be read");
    // Opening (or start-up) settles before the window.
    std::this_thread::sleep_for(2s);
    if (ok) {
        const double serverBefore = bench::cpuSeconds(serverPid);
        const double switchesBefore = contextSwitches(pid);
        double peak = 0;
        const auto start = std::chrono::steady_clock::now();
        figures.appCpu = bench::cpuPercent(pid, seconds, peak);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double serverCpu = 100.0 * (bench::cpuSeconds(serverPid) - serverBefore) / elapsed;
        figures.wakeUps = (contextSwitches(pid) - switchesBefore) / elapsed;
        figures.cpu = figures.appCpu + serverCpu;
        figures.residentMiB = bench::residentMiB(pid);
        if (figures.appCpu < 0 || velquist.state() != QProcess::Running)
            fail("velquist stopped during the measurement");
        else if (panelShowsOpen(environment, readable, QString("state-%1").arg(index)) != state.open)
            fail(state.open ? "the panel closed during the measurement"
                            : "the panel opened during the measurement");
    }
    bench::stopApp(velquist);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--probe") == 0)
        return bench::screenProbeMain(argc, argv, {kScreenWidth, kScreenHeight}, {kProbeX, kProbeY});
    QCoreApplication app(argc, argv);
    const int seconds = bench::idleSeconds(20);

    QProcess server;
    const std::string display = startXvfb(server);
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    QProcessEnvironment wmEnvironment = QProcessEnvironment::systemEnvironment();
    wmEnvironment.insert("DISPLAY", QString::fromStdString(display));
    QProcess windowManager;
    windowManager.setProcessEnvironment(wmEnvironment);
    windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    windowManager.setStandardOutputFile(QProcess::nullDevice());
    windowManager.start("openbox", {});
    const bool managed = windowManager.waitForStarted(10000) &&
                         waitFor([&] { return !run(wmEnvironment, "wmctrl", {"-m"}).isEmpty(); }, 20);
    int status = 0;
    if (!managed) {
        std::fprintf(stderr, "openbox did not start on %s\n", display.c_str());
        status = 1;
    }
    double worstResident = 0;
    for (int index = 0; index < int(std::size(kStates)); ++index) {
        const State& state = kStates[std::size_t(index)];
        if (status != 0)
            break;
        if (const char* picked = std::getenv("VELQUIST_IDLE_STATES");
            picked && !QString::fromLocal8Bit(picked).split(',').contains(QString::number(index + 1)))
            continue;
        Figures figures;
        if (!measure(index, state, display, server.processId(), seconds, figures)) {
            status = 1;
            break;
        }
        std::printf("%s: %.3f%% CPU (application %.3f%%, %.1f wake-ups/s), %.1f MiB resident, %d s\n",
                    state.figure, figures.cpu, figures.appCpu, figures.wakeUps, figures.residentMiB, seconds);
        bench::row(state.figure, figures.cpu, "%", state.target, false);
        worstResident = std::max(worstResident, figures.residentMiB);
    }
    if (status == 0)
        bench::row("application with panel, resident memory (largest state)", worstResident, "MiB",
                   kTargetResidentMiB, false);
    windowManager.terminate();
    windowManager.waitForFinished(5000);
    server.terminate();
    server.waitForFinished(5000);
    return status;
}
