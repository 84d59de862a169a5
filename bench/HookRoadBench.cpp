// The intake road of the real application, in a Release build on an X display with openbox and the
// introduction marked played. Hook events go in through the application's socket as the hook
// client sends them, while the panel is closed and while it is held open; the main thread's own
// CPU time says when the application has handled what it accepted. Figures:
// - sustained intake with 200 and with 2,000 live sessions at 2,000 events a second: events sent
//   over the time until the main thread has handled them all;
// - an automatic decision (a Gemini CLI `read_file` request, which the application approves by
//   itself) through the real hook client during that flood, against starting a static no-op
//   process the same way, alternately: median, 99th percentile and worst of the difference;
// - the application's resident memory during the floods;
// - a burst of 20,000 events (10,000 sessions made and ended) until handled;
// - a hostile OpenCode server for 20 s (valid events as fast as it can write, and 100 MB lines):
//   resident memory and the decision figures again;
// - SIGTERM to exit during a burst.
// Without DISPLAY the program runs itself again under `xvfb-run -a`; it starts openbox when no
// window manager runs, and says what is missing when something it needs is not there.

#include "AppUnderTest.h"
#include "BenchReport.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "ScreenProbe.h"
#include "Shared/AppPaths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr double kTargetEventsPerSecond = 2000;
constexpr double kTargetDecisionP99Ms = 50;
constexpr double kTargetResidentMiB = 200;
constexpr double kTargetBurstSeconds = 15;
constexpr double kTargetExitMs = 2000;
constexpr double kTargetHostileResidentMiB = 300;
constexpr double kTargetHostileDecisionP99Ms = 100;
constexpr int kFloodSeconds = 6;
constexpr int kBurstEvents = 20000;
constexpr int kHostileSeconds = 20;
constexpr int kSenders = 8;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// A point of the open sheet just under the bar; the white root shows there while it is closed.
constexpr int kProbeX = kScreenWidth / 2;
constexpr int kProbeY = 70;

double msSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Waits until the main thread is quiet (under a quarter of a core for two half-second windows in a
// row); returns the time at which the quiet began, or none after `timeout`.
std::optional<Steady::time_point> waitUntilHandled(qint64 pid, std::chrono::seconds timeout)
{
    const auto deadline = Steady::now() + timeout;
    int quietWindows = 0;
    Steady::time_point quietSince;
    while (Steady::now() < deadline) {
        const auto start = Steady::now();
        const double before = bench::threadCpuSeconds(pid, pid);
        std::this_thread::sleep_for(500ms);
        const double after = bench::threadCpuSeconds(pid, pid);
        if (before < 0 || after < 0)
            return std::nullopt;
        const double share = (after - before) / std::chrono::duration<double>(Steady::now() - start).count();
        if (share < 0.25) {
            if (quietWindows++ == 0)
                quietSince = start;
            if (quietWindows >= 2)
                return quietSince;
        } else {
            quietWindows = 0;
        }
    }
    return std::nullopt;
}

int connectTo(const fs::path& socket)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One ordinary hook request, sent as the hook client sends it: the request, the end of its
// stream, then waiting for the application to close the connection.
bool sendEvent(const fs::path& socket, const std::string& bytes)
{
    const int fd = connectTo(socket);
    if (fd < 0)
        return false;
    std::string_view rest = bytes;
    bool sent = true;
    while (sent && !rest.empty()) {
        const ssize_t wrote = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        sent = wrote > 0;
        if (sent)
            rest.remove_prefix(static_cast<std::size_t>(wrote));
    }
    ::shutdown(fd, SHUT_WR);
    pollfd watch{fd, POLLIN, 0};
    char sink[64];
    while (sent && ::poll(&watch, 1, 5000) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
    return sent;
}

std::string hookEvent(const std::string& name, const std::string& session, int serial)
{
    std::string payload =
        R"({"hook_event_name":")" + name + R"(","session_id":")" + session + R"(","cwd":"/home/dev/project")";
    if (name == "PreToolUse" || name == "PostToolUse")
        payload +=
            R"(,"tool_name":"Bash","tool_input":{"command":"make test-)" + std::to_string(serial) + "\"}";
    payload += "}";
    return R"({"payload":)" + payload + R"(,"meta":{"engine":"claude"}})";
}

// Sends `make(i)` for i in [0, count) from several threads, paced at `perSecond` (0: at once).
struct Sending
{
    std::atomic<int> sent{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;

    void start(const fs::path& socket, int count, double perSecond, std::function<std::string(int)> make)
    {
        const auto begin = Steady::now();
        for (int t = 0; t < kSenders; ++t) {
            threads.emplace_back([=, this] {
                for (int i = t; i < count; i += kSenders) {
                    if (perSecond > 0)
                        std::this_thread::sleep_until(begin +
                                                      std::chrono::duration_cast<Steady::duration>(
                                                          std::chrono::duration<double>(i / perSecond)));
                    if (sendEvent(socket, make(i)))
                        ++sent;
                    else
                        ++failed;
                }
            });
        }
    }
    void join()
    {
        for (auto& thread : threads)
            thread.join();
        threads.clear();
    }
};

// Runs a program with `input` on its standard input; returns its run time in ms and what it
// printed, or none when it could not start.
std::optional<std::pair<double, std::string>> timedRun(const std::vector<std::string>& argv,
                                                       const std::string& input)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = Steady::now();
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        return std::nullopt;
    }
    [[maybe_unused]] const auto wrote = ::write(in[1], input.data(), input.size());
    ::close(in[1]);
    std::string printed;
    char buffer[4096];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return std::make_pair(msSince(start), printed);
}

// Gemini CLI `read_file` requests through the real hook client, each followed by a static no-op
// process started the same way; the difference of each pair is the decision's cost.
class DecisionProbe
{
  public:
    void start()
    {
        m_thread = std::thread([this] {
            for (int i = 0; !m_stop; ++i) {
                const std::string payload =
                    R"({"hook_event_name":"BeforeTool","session_id":"gemini-probe","cwd":"/home/dev/project","tool_name":"read_file","tool_input":{"absolute_path":"/home/dev/project/README-)" +
                    std::to_string(i) + R"(.md"}})";
                const auto decided = timedRun({VELQUIST_QUORVEL_PATH, "--engine", "gemini", "--decide-on",
                                               "BeforeTool", "--unavailable", "UNAVAILABLE"},
                                              payload);
                const auto noop = timedRun({VELQUIST_MINIMAL_RELAY_PATH}, "");
                if (decided && noop) {
                    std::lock_guard lock(m_mutex);
                    if (decided->second.find("allow") == std::string::npos) {
                        if (m_unanswered++ == 0)
                            std::fprintf(stderr, "the hook client printed: %s\n", decided->second.c_str());
                    } else
                        m_above.push_back(decided->first - noop->first);
                }
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Median, 99th percentile and worst, in ms above a process start.
    struct Figures
    {
        double median = 0, p99 = 0, worst = 0;
        std::size_t count = 0;
        int unanswered = 0;
    };
    Figures figures()
    {
        std::lock_guard lock(m_mutex);
        Figures result;
        result.unanswered = m_unanswered;
        result.count = m_above.size();
        if (m_above.empty())
            return result;
        std::vector<double> sorted = m_above;
        std::sort(sorted.begin(), sorted.end());
        result.median = sorted[sorted.size() / 2];
        result.p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
        result.worst = sorted.back();
        return result;
    }

  private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<double> m_above;
    int m_unanswered = 0;
};

// The peak resident memory of `pid` while it runs, sampled every 100 ms.
class MemoryWatch
{
  public:
    explicit MemoryWatch(qint64 pid)
        : m_thread([this, pid] {
              while (!m_stop) {
                  const double now = bench::residentMiB(pid);
                  double seen = m_peak.load();
                  while (now > seen && !m_peak.compare_exchange_weak(seen, now)) {
                  }
                  std::this_thread::sleep_for(100ms);
              }
          })
    {
    }
    ~MemoryWatch() { stop(); }
    double stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_peak;
    }

  private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_peak{0};
    std::thread m_thread;
};

void reportDecisions(const std::string& label, DecisionProbe::Figures figures, double target, int& status)
{
    std::printf("%s: automatic decision above a process start: median %.2f ms, p99 %.2f ms, worst %.2f ms "
                "over %zu requests (%d not approved)\n",
                label.c_str(), figures.median, figures.p99, figures.worst, figures.count, figures.unanswered);
    if (figures.count == 0 || figures.unanswered > 0) {
        std::fprintf(stderr, "%s: decisions were not answered by the application\n", label.c_str());
        status = 1;
    }
    bench::row(("automatic decision above process start, p99, " + label).c_str(), figures.p99, "ms", target,
               false);
}

// The application under test, started in its own HOME on the X display.
struct App
{
    QProcess process;
    qint64 pid = 0;

    bool start(const bench::BenchHome& home)
    {
        fs::remove(AppPaths::socketPath());
        QProcessEnvironment environment = home.environment("xcb");
        environment.remove("WAYLAND_DISPLAY");
        if (!bench::startApp(process, environment))
            return false;
        pid = process.processId();
        if (!bench::runUntil([] { return fs::exists(AppPaths::socketPath()); }, 30000)) {
            std::fprintf(stderr, "velquist did not listen on %s\n", AppPaths::socketPath().c_str());
            return false;
        }
        return waitUntilHandled(pid, 60s).has_value();
    }
    bool running() const { return ::kill(static_cast<pid_t>(pid), 0) == 0; }
};

// Whether the panel's open sheet shows under the bar, read back from the screen by this program
// in a child of its own (the display runs with a white root, the sheet is dark).
bool panelShowsOpen()
{
    QProcess probe;
    probe.start(QCoreApplication::applicationFilePath(), {"--probe"});
    probe.waitForFinished(10000);
    return probe.readAllStandardOutput().trimmed() == "dark";
}

void movePointer(int x, int y)
{
    QProcess tool;
    tool.start("xdotool", {"mousemove", QString::number(x), QString::number(y)});
    tool.waitForFinished(10000);
}

// Flood phase: `sessions` live sessions, tool events at 2,000 a second for a few seconds.
bool sustained(App& app, int sessions, const std::string& panel, int& status)
{
    const fs::path socket = AppPaths::socketPath();
    const int events = static_cast<int>(kTargetEventsPerSecond) * kFloodSeconds;
    const std::string prefix = "live-" + std::to_string(sessions) + "-";
    MemoryWatch memory(app.pid);
    DecisionProbe probe;
    probe.start();
    const auto begin = Steady::now();
    Sending sending;
    sending.start(socket, events, kTargetEventsPerSecond, [&](int i) {
        return hookEvent(i % 2 ? "PostToolUse" : "PreToolUse", prefix + std::to_string((i / 2) % sessions),
                         i);
    });
    sending.join();
    // The probe's decisions are the flood's: they stop with it. Left running they would keep the main
    // thread busy on their own (with the panel open each one costs it a relayout), and the wait
    // below would never see it quiet.
    probe.stop();
    const auto handled = waitUntilHandled(app.pid, 120s);
    const double peak = memory.stop();
    const std::string label = std::to_string(sessions) + " sessions, panel " + panel;
    const std::string handledFigure = "events handled per second at 2,000/s, " + label;
    if (!handled) {
        std::fprintf(stderr, "%s: not handled within 120 s\n", label.c_str());
        bench::notMeasured(handledFigure.c_str(), "the main thread was still busy 120 s after the flood");
        status = 1;
    } else {
        // Each event has its slot of 1/2,000 s in the schedule: an application that keeps up has
        // handled them all by the end of the last slot (to the half second the quiet is measured in),
        // and then takes 2,000 a second; one that falls behind takes what it handled over the time it
        // needed.
        const double seconds = std::chrono::duration<double>(*handled - begin).count();
        const double scheduled = events / kTargetEventsPerSecond;
        std::printf("%s: %d events sent (%d refused by the socket) at 2,000/s over %.2f s, handled after "
                    "%.2f s; peak RSS %.1f MiB\n",
                    label.c_str(), sending.sent.load(), sending.failed.load(), scheduled, seconds, peak);
        bench::row(handledFigure.c_str(), sending.sent / std::max(seconds, scheduled), "ev/s",
                   kTargetEventsPerSecond, true);
    }
    if (sending.failed > 0)
        status = 1;
    reportDecisions(label, probe.figures(), kTargetDecisionP99Ms, status);
    bench::row(("resident memory during the flood, " + label).c_str(), peak, "MiB", kTargetResidentMiB,
               false);
    return handled.has_value();
}

bool makeSessions(App& app, int sessions)
{
    const std::string prefix = "live-" + std::to_string(sessions) + "-";
    Sending sending;
    sending.start(AppPaths::socketPath(), sessions, 0,
                  [&](int i) { return hookEvent("SessionStart", prefix + std::to_string(i), i); });
    sending.join();
    return waitUntilHandled(app.pid, 120s).has_value();
}

// --- the hostile OpenCode server ---------------------------------------------------------------

// Bytes of event stream the application has taken from the fake server.
std::atomic<long long> g_streamed{0};

void serveStream(int client)
{
    std::string valid;
    for (int s = 0; s < 8; ++s)
        valid += R"(data: {"type":"session.created","properties":{"info":{"id":"ses_)" + std::to_string(s) +
                 R"(","directory":"/home/dev/project","title":"flood"}}})"
                 "\n\n";
    for (int i = 0; valid.size() < 1024 * 1024; ++i) {
        const std::string session = "ses_" + std::to_string(i % 8);
        valid += R"(data: {"type":"message.part.updated","properties":{"sessionID":")" + session +
                 R"(","part":{"type":"tool","tool":"read","callID":"c)" + std::to_string(i) +
                 R"(","state":{"input":{"filePath":"/home/dev/project/src/file)" + std::to_string(i) +
                 R"(.cpp"}}}}})"
                 "\n\n";
        valid += R"(data: {"type":"message.part.updated","properties":{"sessionID":")" + session +
                 R"(","part":{"type":"text","text":"Working on step )" + std::to_string(i) +
                 R"("}}})"
                 "\n\n";
    }
    const std::string filler(1024 * 1024, 'x');
    const auto sendAll = [client](std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t wrote = ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (wrote <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(wrote));
            g_streamed += wrote;
        }
        return true;
    };
    if (!sendAll("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n\r\n"))
        return;
    for (int round = 0;; ++round) {
        for (int i = 0; i < 32; ++i) {
            if (!sendAll(valid))
                return;
        }
        // A 100 MB line.
        if (!sendAll(
                R"(data: {"type":"message.part.updated","properties":{"sessionID":"ses_0","part":{"type":"text","text":")"))
            return;
        for (int i = 0; i < 100; ++i) {
            if (!sendAll(filler))
                return;
        }
        if (!sendAll("\"}}}\n\n"))
            return;
    }
}

void serveClient(int client)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ::close(client);
            return;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    if (request.rfind("GET ", 0) == 0 && request.find("event") != std::string::npos) {
        serveStream(client);
    } else {
        const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ntrue";
        ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
    }
    ::close(client);
}

// Runs as a process whose command name begins with "opencode", so the application finds it.
int runOpenCodeServer(const char* portFile)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 1;
    std::ofstream(portFile) << ntohs(address.sin_port) << "\n";
    // It ends with the benchmark: a bounded run of at most a minute. Once a second it says how much
    // of its stream the application has taken.
    const std::string streamedFile = std::string(portFile) + ".streamed";
    const auto deadline = Steady::now() + 60s;
    while (Steady::now() < deadline) {
        std::ofstream(streamedFile + ".new") << g_streamed.load() << "\n";
        fs::rename(streamedFile + ".new", streamedFile);
        pollfd watch{listener, POLLIN, 0};
        if (::poll(&watch, 1, 1000) <= 0)
            continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            std::thread(serveClient, client).detach();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc == 3 && std::string(argv[1]) == "--opencode-server")
        return runOpenCodeServer(argv[2]);
    if (argc == 2 && std::string(argv[1]) == "--probe")
        return bench::screenProbeMain(argc, argv, {kScreenWidth, kScreenHeight}, {kProbeX, kProbeY});
    if (!std::getenv("DISPLAY")) {
        ::execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1920x1080x24 -wr", argv[0], nullptr);
        std::fprintf(stderr, "cannot run: no DISPLAY and xvfb-run is not installed (Debian package xvfb)\n");
        return 1;
    }
    QCoreApplication qt(argc, argv);
    LinuxWindowSystem windows(LinuxWindowSystem::displayFromEnvironment());
    QProcess windowManager;
    if (!windows.canActivateWindows())
        windowManager.start("openbox", {"--sm-disable"});
    if (!bench::runUntil([&] { return windows.canActivateWindows(); }, 30000)) {
        std::fprintf(stderr, "cannot run: no window manager answered on %s (is openbox installed?)\n",
                     std::getenv("DISPLAY"));
        return 1;
    }
    if (QProcess::execute("xdotool", {"getmouselocation"}) != 0) {
        std::fprintf(stderr, "cannot run: xdotool is missing (Debian package xdotool)\n");
        return 1;
    }
    bench::BenchHome home;
    if (!home.isReady())
        return 1;
    // Gemini CLI's and OpenCode's folders: the application serves the agents whose folders are there.
    fs::create_directories(home.path() / ".gemini");
    fs::create_directories(home.path() / ".config/opencode");
    int status = 0;

    // Sustained intake, each count of sessions in an application of its own.
    for (const int sessions : {200, 2000}) {
        App app;
        if (!app.start(home)) {
            std::fprintf(stderr, "velquist did not start and settle\n");
            return 1;
        }
        // The screen's centre top is where the panel opens; start away from it.
        movePointer(kProbeX, 700);
        if (!makeSessions(app, sessions)) {
            std::fprintf(stderr, "%d sessions were not made within 120 s\n", sessions);
            status = 1;
        }
        // Each state is checked on the screen before and after its flood.
        const auto measureIn = [&](bool open) {
            const char* name = open ? "open" : "closed";
            if (panelShowsOpen() != open) {
                std::fprintf(stderr, "%d sessions: the panel is not %s on the screen before the flood\n",
                             sessions, name);
                status = 1;
                return;
            }
            sustained(app, sessions, name, status);
            if (panelShowsOpen() != open) {
                std::fprintf(stderr, "%d sessions: the panel was no longer %s after the flood\n", sessions,
                             name);
                status = 1;
            }
        };
        measureIn(false);
        movePointer(kProbeX, 2);
        if (!bench::runUntil([] { return panelShowsOpen(); }, 10000)) {
            std::fprintf(stderr, "%d sessions: the panel did not open under the pointer\n", sessions);
            status = 1;
        } else {
            measureIn(true);
        }
        movePointer(kProbeX, 700);
        bench::stopApp(app.process);
    }

    // A burst of 20,000 events, then a hostile OpenCode server, then SIGTERM during a burst.
    App app;
    if (!app.start(home))
        return 1;
    {
        MemoryWatch memory(app.pid);
        const auto begin = Steady::now();
        Sending sending;
        sending.start(AppPaths::socketPath(), kBurstEvents, 0, [](int i) {
            return hookEvent(i % 2 ? "SessionEnd" : "SessionStart", "burst-" + std::to_string(i / 2), i);
        });
        sending.join();
        const double sendSeconds = std::chrono::duration<double>(Steady::now() - begin).count();
        const auto handled = waitUntilHandled(app.pid, 120s);
        const double peak = memory.stop();
        constexpr const char* figure = "burst of 20,000 events (10,000 sessions made and ended) handled";
        if (!handled) {
            std::fprintf(stderr, "burst: not handled within 120 s\n");
            bench::notMeasured(figure, "the main thread was still busy 120 s after the burst");
            status = 1;
        } else {
            const double seconds = std::chrono::duration<double>(*handled - begin).count();
            std::printf("burst: %d events sent in %.2f s (%d refused by the socket), handled after %.2f s; "
                        "peak RSS %.1f MiB\n",
                        sending.sent.load(), sendSeconds, sending.failed.load(), seconds, peak);
            bench::row(figure, seconds, "s", kTargetBurstSeconds, false);
        }
    }
    {
        const fs::path folder = home.path() / "opencode";
        fs::create_directories(folder);
        const fs::path server = folder / "opencode-flood";
        fs::copy_file("/proc/self/exe", server, fs::copy_options::overwrite_existing);
        fs::permissions(server, fs::perms::owner_all);
        const fs::path portFile = folder / "port";
        QProcess fake;
        fake.start(QString::fromStdString(server.string()),
                   {"--opencode-server", QString::fromStdString(portFile.string())});
        if (!fake.waitForStarted(10000) ||
            !bench::runUntil([&] { return fs::exists(portFile) && fs::file_size(portFile) > 0; }, 10000)) {
            std::fprintf(stderr, "the fake OpenCode server did not start\n");
            status = 1;
        } else {
            MemoryWatch memory(app.pid);
            DecisionProbe probe;
            probe.start();
            std::this_thread::sleep_for(std::chrono::seconds(kHostileSeconds));
            probe.stop();
            const double peak = memory.stop();
            const bool alive = app.running();
            long long streamed = 0;
            std::ifstream(portFile.string() + ".streamed") >> streamed;
            fake.kill();
            fake.waitForFinished(5000);
            std::printf("hostile OpenCode server for %d s: the application took %.1f MiB of its stream; peak "
                        "RSS %.1f MiB; application %s\n",
                        kHostileSeconds, static_cast<double>(streamed) / (1024.0 * 1024.0), peak,
                        alive ? "still running" : "GONE");
            if (!alive) {
                status = 1;
                return status;
            }
            // Without this the row would measure an application that never found the server.
            if (streamed < 1024 * 1024) {
                std::fprintf(stderr, "the application did not read the fake OpenCode server's stream\n");
                status = 1;
            }
            bench::row("resident memory under a hostile OpenCode stream, 20 s", peak, "MiB",
                       kTargetHostileResidentMiB, false);
            reportDecisions("hostile OpenCode stream", probe.figures(), kTargetHostileDecisionP99Ms, status);
        }
    }
    {
        waitUntilHandled(app.pid, 60s);
        Sending sending;
        sending.start(AppPaths::socketPath(), kBurstEvents, 0, [](int i) {
            return hookEvent(i % 2 ? "SessionEnd" : "SessionStart", "exit-" + std::to_string(i / 2), i);
        });
        while (sending.sent + sending.failed < kBurstEvents / 4)
            std::this_thread::sleep_for(1ms);
        const auto begin = Steady::now();
        ::kill(static_cast<pid_t>(app.pid), SIGTERM);
        const bool ended = app.process.waitForFinished(60000);
        const double ms = msSince(begin);
        sending.join();
        const bool saved = fs::exists(AppPaths::sessionsFile());
        std::printf("SIGTERM during a burst: %s after %.0f ms; sessions file %s\n",
                    ended ? "exited" : "still running", ms, saved ? "written" : "MISSING");
        if (!ended || !saved)
            status = 1;
        if (!ended)
            bench::stopApp(app.process);
        bench::row("SIGTERM to exit during a burst of events", ms, "ms", kTargetExitMs, false);
    }
    windowManager.terminate();
    windowManager.waitForFinished(5000);
    return status;
}
