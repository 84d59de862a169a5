// Runs the real hook client and a minimal C relay (read, connect, write, exit) side by side
// against a listening socket, for a small and a large hook payload, and prints the median wall
// time of each from start to exit and their ratio. Then the same pair in decide mode against the
// real application in a temporary HOME: a Gemini `read_file` request, which the application
// allows by itself, sent by the hook client and by the relay (the same request bytes, half-closed,
// reply awaited). The hook client runs on every tool call of every agent, so its own cost over the
// bare relay should stay small (target: 1.3x).

#include "AppUnderTest.h"
#include "BenchReport.h"

#include <QCoreApplication>
#include <QProcess>
#include <fstream>
#include <mutex>
#include <sstream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Accepts connections and reads each to its end, as the application does.
class Listener
{
  public:
    explicit Listener(const fs::path& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 64) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~Listener()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

    // The bytes of the last request read whole.
    std::string last()
    {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

  private:
    void serve()
    {
        std::vector<char> buffer(1 << 16);
        while (!m_stop) {
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0)
                continue;
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            std::string request;
            ssize_t count = 0;
            while ((count = ::read(client, buffer.data(), buffer.size())) > 0)
                request.append(buffer.data(), static_cast<std::size_t>(count));
            // Kept before the close: a client waiting for a reply exits on it, and whoever waited for
            // that exit reads `last()` next.
            {
                std::lock_guard lock(m_mutex);
                m_last = std::move(request);
            }
            ::close(client);
        }
    }

    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_last;
    std::thread m_thread;
};

struct Sample
{
    double wall; // from spawn to exit, microseconds
    double cpu;  // the child's user and system time, microseconds: less moved by other load
};

// One run, standard input from `inputFile`, output to `outputFile` (discarded by default).
Sample runOnce(const std::vector<std::string>& argument, const fs::path& inputFile, char* const envp[],
               const char* outputFile = "/dev/null")
{
    std::vector<char*> argv;
    for (const auto& a : argument)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto elapsed = Clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    auto micros = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec);
    };
    return {std::chrono::duration<double, std::micro>(elapsed).count(),
            micros(usage.ru_utime) + micros(usage.ru_stime)};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string hookPayload(std::size_t size)
{
    const std::string head =
        R"({"session_id":"0b6c2f7e-1d2a-4c55-9a0e-5f3e8d7c6b4a","transcript_path":)"
        R"("/home/u/.claude/projects/p/0b6c2f7e.jsonl","cwd":"/home/u/src/project",)"
        R"("permission_mode":"default","hook_event_name":"PostToolUse","tool_name":"Read",)"
        R"("tool_input":{"file_path":"/home/u/src/project/main.cpp"},"tool_response":{"content":")";
    const std::string tail = R"("}})";
    std::string body;
    const std::string line =
        R"(    for (const auto& item : items) {\n        total += item.weight * 3; // \"note\" é\n    }\n)";
    while (head.size() + body.size() + tail.size() < size)
        body += line;
    body.resize(size - head.size() - tail.size());
    // Do not end inside an escape.
    while (!body.empty() && body.back() == '\\')
        body.back() = ' ';
    return head + body + tail;
}

bool connects(const fs::path& socket)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void save(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A Gemini CLI `read_file` waiting for its decision: read-only, so the application allows it
// itself, with no one to ask.
const char* const kGeminiRead =
    R"({"session_id":"6f1e2d3c-4b5a-4978-8a6b-5c4d3e2f1a0b","transcript_path":"/tmp/velquist-bench-none.json",)"
    R"("cwd":"/home/dev/project","hook_event_name":"BeforeTool","timestamp":"2025-10-01T12:00:00.000Z",)"
    R"("tool_name":"read_file","tool_input":{"absolute_path":"/home/dev/project/src/main.cpp"}})";

// The decide-mode pair against the real application. The relay sends the very bytes the hook
// client sent (captured from a listener of our own), so the two differ only in the client's work.
void decidePair(int runs)
{
    const char* const wallFigure = "decide via the application, Gemini read_file: hook client vs relay, wall";
    const char* const cpuFigure = "decide via the application, Gemini read_file: hook client vs relay, cpu";
    const auto missing = [&](const std::string& reason) {
        velquist::bench::notMeasured(wallFigure, reason);
        velquist::bench::notMeasured(cpuFigure, reason);
    };
    velquist::bench::BenchHome home;
    if (!home.isReady())
        return missing("no temporary HOME could be made");
    const fs::path payload = home.path() / "request.json";
    const fs::path envelope = home.path() / "envelope.json";
    const fs::path reply = home.path() / "reply.json";
    save(payload, kGeminiRead);
    std::string homeEntry = "HOME=" + home.path().string();
    char* envp[] = {homeEntry.data(), nullptr};
    const std::vector<std::string> quorvel = {VELQUIST_QUORVEL_PATH, "--engine", "gemini", "--decide-on",
                                              "BeforeTool"};

    // What the hook client sends, taken before the application listens on the path.
    {
        fs::create_directories(velquist::AppPaths::socketPath().parent_path());
        Listener capture(velquist::AppPaths::socketPath());
        runOnce(quorvel, payload, envp);
        save(envelope, capture.last());
    }
    fs::remove(velquist::AppPaths::socketPath());
    if (contents(envelope).find("\"decide\"") == std::string::npos)
        return missing("the hook client sent no decide request");

    // The application serves an agent only once it is installed: Gemini CLI's settings file.
    fs::create_directories(home.path() / ".gemini");
    save(home.path() / ".gemini/settings.json", "{}\n");
    QProcess app;
    if (!velquist::bench::startApp(app, home.environment("offscreen")))
        return missing("velquist did not start");
    const auto started = Clock::now();
    while (!connects(velquist::AppPaths::socketPath())) {
        if (app.state() != QProcess::Running || Clock::now() - started > std::chrono::seconds(60)) {
            velquist::bench::stopApp(app);
            return missing("velquist did not listen on its socket within 60 s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::vector<std::string> relay = {VELQUIST_MINIMAL_RELAY_PATH, "--decide",
                                            velquist::AppPaths::socketPath().string()};
    // Both must come back with the application's own answer, or there is nothing to compare.
    for (const auto* client : {&quorvel, &relay}) {
        runOnce(*client, client == &quorvel ? payload : envelope, envp, reply.c_str());
        const std::string answer = contents(reply);
        if (answer.find("allow") == std::string::npos) {
            velquist::bench::stopApp(app);
            return missing(std::string(client == &quorvel ? "hook client" : "relay") +
                           " got no allow from the application (reply: \"" + answer.substr(0, 80) + "\")");
        }
    }
    for (int i = 0; i < 20; ++i) {
        runOnce(quorvel, payload, envp);
        runOnce(relay, envelope, envp);
    }
    std::vector<double> quorvelWall, relayWall, quorvelCpu, relayCpu;
    for (int i = 0; i < runs; ++i) {
        const Sample q = runOnce(quorvel, payload, envp);
        const Sample r = runOnce(relay, envelope, envp);
        quorvelWall.push_back(q.wall);
        quorvelCpu.push_back(q.cpu);
        relayWall.push_back(r.wall);
        relayCpu.push_back(r.cpu);
    }
    velquist::bench::stopApp(app);
    const double qw = median(quorvelWall), rw = median(relayWall);
    const double qc = median(quorvelCpu), rc = median(relayCpu);
    std::sort(quorvelWall.begin(), quorvelWall.end());
    std::sort(relayWall.begin(), relayWall.end());
    const auto p99 = [](const std::vector<double>& sorted) { return sorted[sorted.size() * 99 / 100]; };
    std::printf("decide   %12.1f %12.1f %7.2fx %12.1f %12.1f %7.2fx  (99th percentile %.1f / %.1f)\n", qw, rw,
                qw / rw, qc, rc, rc > 0 ? qc / rc : 0.0, p99(quorvelWall), p99(relayWall));
    velquist::bench::row(wallFigure, qw / rw, "x", 1.3, false);
    velquist::bench::row(cpuFigure, rc > 0 ? qc / rc : 0.0, "x", 1.3, false);
}

} // namespace

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/velquist-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path home(pattern);
    const fs::path support = home / ".local/share/Velquist";
    fs::create_directories(support);
    const fs::path socket = support / "notch.sock";
    Listener listener(socket);

    std::string homeEntry = "HOME=" + home.string();
    char* envp[] = {homeEntry.data(), nullptr};

    struct Size
    {
        const char* name;
        std::size_t bytes;
        int runs;
    };
    const Size sizes[] = {{"4 KiB", 4096, 400}, {"500 KiB", 500 * 1024, 150}};
    std::printf("median of each, microseconds\n%-8s %12s %12s %8s %12s %12s %8s\n", "payload", "quorvel",
                "relay", "ratio", "quorvel cpu", "relay cpu", "ratio");
    for (const auto& size : sizes) {
        const fs::path input = home / "payload.json";
        {
            const std::string payload = hookPayload(size.bytes);
            FILE* file = std::fopen(input.c_str(), "wb");
            std::fwrite(payload.data(), 1, payload.size(), file);
            std::fclose(file);
        }
        const std::vector<std::string> quorvel = {VELQUIST_QUORVEL_PATH, "--engine", "claude"};
        const std::vector<std::string> relay = {VELQUIST_MINIMAL_RELAY_PATH, socket.string()};
        for (int i = 0; i < 20; ++i) {
            runOnce(quorvel, input, envp);
            runOnce(relay, input, envp);
        }
        // Alternate the two so that drift in the machine's load touches both alike.
        std::vector<double> quorvelWall, relayWall, quorvelCpu, relayCpu;
        for (int i = 0; i < size.runs; ++i) {
            const Sample q = runOnce(quorvel, input, envp);
            const Sample r = runOnce(relay, input, envp);
            quorvelWall.push_back(q.wall);
            quorvelCpu.push_back(q.cpu);
            relayWall.push_back(r.wall);
            relayCpu.push_back(r.cpu);
        }
        const double qw = median(quorvelWall), rw = median(relayWall);
        const double qc = median(quorvelCpu), rc = median(relayCpu);
        std::printf("%-8s %12.1f %12.1f %7.2fx %12.1f %12.1f %7.2fx\n", size.name, qw, rw, qw / rw, qc, rc,
                    rc > 0 ? qc / rc : 0.0);
        const std::string wall = std::string("hook client vs minimal relay, ") + size.name + ", wall";
        velquist::bench::row(wall.c_str(), qw / rw, "x", 1.3, false);
        const std::string cpu = std::string("hook client vs minimal relay, ") + size.name + ", cpu";
        velquist::bench::row(cpu.c_str(), rc > 0 ? qc / rc : 0.0, "x", 1.3, false);
    }
    std::error_code ec;
    fs::remove_all(home, ec);

    QCoreApplication app(argc, argv);
    decidePair(200);
    return 0;
}
