// The hook road under load, end to end through real hook client processes: many clients at once
// with large payloads while the main thread is busy, then a thousand idle connections and a slow
// client. Every event arrives exactly once, every held decision is answered exactly once, and the
// server's descriptors and memory come back to where they started.

#include "Core/QtScheduler.h"
#include "Core/SystemClock.h"
#include "Ingestion/HookSocketServer.h"
#include "Ingestion/PendingDecision.h"
#include "Shared/HomePaths.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QCoreApplication>
#include <QThread>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <malloc.h>
#include <map>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace velquist;
using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr int kClients = 200;
constexpr std::size_t kPayloadBytes = 300 * 1024;
constexpr int kIdleConnections = 1000;

struct Descriptors
{
    std::size_t all = 0;
    std::size_t sockets = 0;
};

Descriptors openDescriptors()
{
    Descriptors count;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        ++count.all;
        if (fs::read_symlink(entry.path(), error).string().starts_with("socket:"))
            ++count.sockets;
    }
    return count;
}

// Connections leave no socket behind; worker threads may still be starting up or winding down,
// each with a descriptor of its event dispatcher.
bool backTo(const Descriptors& before)
{
    const Descriptors now = openDescriptors();
    return now.sockets <= before.sockets &&
           now.all <= before.all + static_cast<std::size_t>(QThread::idealThreadCount());
}

// What the open descriptors are, for a failure message.
std::string describeDescriptors()
{
    std::string text;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        text += " " + entry.path().filename().string() + "=" + fs::read_symlink(entry.path(), error).string();
    }
    return text;
}

std::size_t residentBytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

bool underAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// One hook event as an agent hands it to the hook client, padded to about `size` bytes.
std::string hookInput(const std::string& name, const std::string& session, std::size_t size)
{
    json payload{{"hook_event_name", name},
                 {"session_id", session},
                 {"cwd", "/home/dev/project"},
                 {"tool_name", "Bash"},
                 {"tool_input", {{"command", "make test"}}}};
    const std::size_t base = payload.dump().size() + 16;
    payload["padding"] = std::string(size > base ? size - base : 0, 'x');
    return payload.dump();
}

// A hook client process reading its hook JSON from a file, its output kept in another.
struct HookProcess
{
    pid_t pid = -1;
    fs::path output;
    bool decides = false;
    std::string session;
};

class HookRoadLoadTest : public ::testing::Test
{
  protected:
    HookRoadLoadTest()
        : m_server(
              m_scheduler, m_clock, [this](HookEvent event) { ++m_delivered[event.sessionID]; },
              [this](std::shared_ptr<PendingDecision> decision) {
                  ++m_delivered[decision->event().sessionID];
                  m_held.push_back(std::move(decision));
              },
              m_paths.socketPath())
    {
        // The clients' environment: this process's, with the test's home folder.
        for (char** entry = environ; *entry; ++entry) {
            if (!std::string_view(*entry).starts_with("HOME="))
                m_clientEnvironment.emplace_back(*entry);
        }
        m_clientEnvironment.push_back("HOME=" + m_home.path().string());
    }

    void SetUp() override
    {
#ifndef VELQUIST_QUORVEL_PATH
        GTEST_SKIP() << "the hook client is not built";
#else
        m_quorvel = VELQUIST_QUORVEL_PATH;
#endif
        // A thousand idle connections are two thousand descriptors in this one process.
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        if (limit.rlim_cur < 4 * kIdleConnections) {
            limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4 * kIdleConnections);
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        m_server.start();
    }

    void TearDown() override
    {
        for (auto& process : m_processes) {
            if (process.pid > 0) {
                ::kill(process.pid, SIGKILL);
                ::waitpid(process.pid, nullptr, 0);
            }
        }
    }

    HookProcess spawn(const std::string& name, const std::string& session, std::size_t size, bool decides)
    {
        HookProcess process;
        process.decides = decides;
        process.session = session;
        const fs::path input = m_home.path() / ("in-" + session);
        process.output = m_home.path() / ("out-" + session);
        std::ofstream(input, std::ios::binary) << hookInput(name, session, size);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, process.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> arguments{m_quorvel,           "--engine",      "claude",  "--decide-on",
                                           "PermissionRequest", "--unavailable", "fallback"};
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& entry : m_clientEnvironment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const int failed =
            ::posix_spawn(&process.pid, m_quorvel.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(failed, 0) << std::strerror(failed);
        m_processes.push_back(process);
        return process;
    }

    // Waits for every hook client to exit while the event loop runs; false when one is still
    // running at the (generous) limit.
    bool reapAll()
    {
        return test::waitUntil(
            [&] {
                bool all = true;
                for (auto& process : m_processes) {
                    if (process.pid <= 0)
                        continue;
                    int status = 0;
                    if (::waitpid(process.pid, &status, WNOHANG) == process.pid) {
                        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << process.session;
                        process.pid = -1;
                    } else {
                        all = false;
                    }
                }
                return all;
            },
            120s);
    }

    static std::string readFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Answers every held decision with its own reply, each exactly once.
    void answerHeld()
    {
        for (const auto& decision : m_held) {
            EXPECT_TRUE(decision->send(reply(decision->event().sessionID))) << decision->event().sessionID;
            EXPECT_FALSE(decision->send("second answer"));
        }
        m_held.clear();
    }

    static std::string reply(const std::string& session)
    {
        return R"({"hookSpecificOutput":{"decision":{"behavior":"allow"}},"for":")" + session + "\"}";
    }

    void expectEachDeliveredOnce(const std::vector<std::string>& sessions)
    {
        for (const auto& session : sessions)
            EXPECT_EQ(m_delivered[session], 1) << session;
        EXPECT_EQ(m_delivered.size(), sessions.size());
    }

    void expectDecisionsPrinted()
    {
        for (const auto& process : m_processes) {
            const std::string printed = readFile(process.output);
            EXPECT_EQ(printed, process.decides ? reply(process.session) : "") << process.session;
        }
    }

    // Descriptors are back where they were; memory too, within what the allocator keeps.
    void expectResourcesBack(const Descriptors& descriptors, std::size_t resident)
    {
        ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 0u; }));
        EXPECT_TRUE(test::waitUntil([&] { return backTo(descriptors); }))
            << descriptors.sockets << " sockets and " << descriptors.all << " descriptors before, now"
            << describeDescriptors();
        if (underAddressSanitizer())
            return; // its quarantine holds freed memory on purpose
        ::malloc_trim(0);
        // Far less than one round's 60 MB of payloads: a leak of the requests would show.
        EXPECT_LT(residentBytes(), resident + 24 * 1024 * 1024)
            << residentBytes() / 1024 << " KiB resident, " << resident / 1024 << " KiB before";
    }

    // Many clients at once, half of them waiting for a decision, while the main thread is busy.
    void runBurst(const std::string& tag, int clients = kClients)
    {
        std::vector<std::string> sessions;
        for (int i = 0; i < clients; ++i) {
            const bool decides = i % 2 == 0;
            const std::string session = tag + "-" + std::to_string(i);
            spawn(decides ? "PermissionRequest" : "PostToolUse", session, kPayloadBytes, decides);
            sessions.push_back(session);
        }
        // The main thread does something else for a second: nothing may be lost meanwhile.
        std::this_thread::sleep_for(1s);
        ASSERT_TRUE(test::waitUntil([&] { return m_delivered.size() == sessions.size(); }, 120s))
            << m_delivered.size() << " of " << sessions.size() << " delivered";
        EXPECT_EQ(m_held.size(), static_cast<std::size_t>(clients / 2));
        answerHeld();
        ASSERT_TRUE(reapAll());
        test::settle(200ms);
        expectEachDeliveredOnce(sessions);
        expectDecisionsPrinted();
    }

    // Worker threads keep a descriptor or two for their life: have them running before counting.
    void warmUp(int clients)
    {
        runBurst("warm", clients);
        ASSERT_FALSE(HasFailure());
        m_delivered.clear();
        m_processes.clear();
    }

    test::TemporaryFolder m_home;
    const HomePaths m_paths{m_home.path()};
    std::vector<std::string> m_clientEnvironment;
    QtScheduler m_scheduler;
    SystemClock m_clock;
    std::string m_quorvel;
    std::map<std::string, int> m_delivered;
    std::vector<std::shared_ptr<PendingDecision>> m_held;
    std::vector<HookProcess> m_processes;
    HookSocketServer m_server;
};

int connectIdle(const fs::path& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(HookRoadLoadTest, BurstOfLargeRequestsWhileTheMainThreadIsBusy)
{
    // A first round warms up threads and allocator; the second must leave nothing behind.
    warmUp(kClients);
    const Descriptors descriptors = openDescriptors();
    const std::size_t resident = residentBytes();
    runBurst("load");
    if (HasFatalFailure())
        return;
    expectResourcesBack(descriptors, resident);
}

TEST_F(HookRoadLoadTest, IdleConnectionsAndASlowClientHoldUpNobody)
{
    warmUp(20);
    const Descriptors descriptors = openDescriptors();
    const std::size_t resident = residentBytes();
    std::vector<int> idle;
    for (int i = 0; i < kIdleConnections; ++i) {
        const int fd = connectIdle(m_paths.socketPath());
        ASSERT_GE(fd, 0) << "connection " << i << ": " << std::strerror(errno);
        idle.push_back(fd);
    }
    test::settle(200ms);

    // A client that trickles its request in small pieces, alongside real hook clients.
    const std::string slowRequest = json{
        {"payload", {{"hook_event_name", "Stop"}, {"session_id", "slow"}}},
        {"meta",
         {{"engine", "claude"}}}}.dump();
    std::thread slow([&] {
        const int fd = connectIdle(m_paths.socketPath());
        for (const char byte : slowRequest) {
            if (::send(fd, &byte, 1, MSG_NOSIGNAL) != 1)
                break;
            std::this_thread::sleep_for(10ms);
        }
        ::shutdown(fd, SHUT_WR);
        char sink[16];
        while (::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
    });

    std::vector<std::string> sessions{"slow"};
    for (int i = 0; i < 20; ++i) {
        const bool decides = i % 4 == 0;
        const std::string session = "beside-idle-" + std::to_string(i);
        spawn(decides ? "PermissionRequest" : "UserPromptSubmit", session, kPayloadBytes, decides);
        sessions.push_back(session);
    }
    ASSERT_TRUE(test::waitUntil([&] { return m_delivered.size() == sessions.size(); }, 60s))
        << m_delivered.size() << " of " << sessions.size() << " delivered";
    answerHeld();
    ASSERT_TRUE(reapAll());
    slow.join();

    for (const int fd : idle)
        ::close(fd);
    test::settle(200ms);
    expectEachDeliveredOnce(sessions);
    expectDecisionsPrinted();
    expectResourcesBack(descriptors, resident);
}
