// Runs the real hook client and a minimal C relay (read, connect, write, exit) side by side
// against a listening socket, for a small and a large hook payload, and prints the median wall
// time of each from start to exit and their ratio. The hook client runs on every tool call of
// every agent, so its own cost over the bare relay should stay small (target: 1.3x at 4 KiB).

#include "BenchReport.h"

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
            while (::read(client, buffer.data(), buffer.size()) > 0) {
            }
            ::close(client);
        }
    }

    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Sample
{
    double wall; // from spawn to exit, microseconds
    double cpu;  // the child's user and system time, microseconds: less moved by other load
};

// One run, standard input from `inputFile`, output discarded.
Sample runOnce(const std::vector<std::string>& argument, const fs::path& inputFile, char* const envp[])
{
    std::vector<char*> argv;
    for (const auto& a : argument)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
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

} // namespace

int main()
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
    return 0;
}
