// The hook road through the real gateway and Claude Code adapter: the decision round trip from the
// hook client's start to its printed decision, answered automatically as soon as the request is
// held, and the events per second that hook clients can push through the gateway into sessions.

#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Adapters/HookGateway.h"
#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"
#include "Platform/Linux/InotifyFileWatcher.h"
#include "Platform/UserDefaults.h"
#include "Shared/AppPaths.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

constexpr int kRoundTrips = 100;
constexpr int kEvents = 20000;
constexpr int kSenders = 8;
constexpr double kTargetRoundTripMs = 50;
constexpr double kTargetEventsPerSecond = 2000;

// Sends one ordinary hook request on its own connection, as the hook client does.
bool sendEvent(const fs::path& socket, const std::string& bytes)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    std::string_view rest = bytes;
    while (sent && !rest.empty()) {
        const ssize_t wrote = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        sent = wrote > 0;
        if (sent)
            rest.remove_prefix(static_cast<std::size_t>(wrote));
    }
    ::close(fd);
    return sent;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    char pattern[] = "/tmp/velquist-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    ::setenv("HOME", pattern, 1);

    SystemClock clock;
    QtScheduler scheduler;
    SessionStore store(clock, scheduler, AppPaths::sessionsFile());
    ActionDispatcher dispatcher(clock);
    InotifyFileWatcher watcher;
    UserDefaults defaults;
    HookGateway gateway(scheduler, AppPaths::socketPath());
    auto& adapter = gateway.addAdapter(std::make_unique<HookAdapter>(
        store,
        AgentEngine{AgentKind::claudeCode, "claude", AgentMechanism::blockingHook,
                    AgentCapabilities::of(AgentKind::claudeCode), "claude"},
        std::make_unique<ClaudeEngineProfile>(defaults),
        HookAdapter::Services{clock, scheduler, watcher, dispatcher}));
    adapter.start();
    gateway.start();
    int status = 0;

    // 1. Decision round trip: the answer is given the moment the request is held.
    {
        std::string waiting;
        QObject::connect(&store, &SessionStore::sessionsChanged, [&] {
            if (waiting.empty() || !adapter.holdsDecision(waiting))
                return;
            const std::string key = std::exchange(waiting, std::string());
            QTimer::singleShot(0, [&, key] {
                if (const Session* session = store.session(key))
                    dispatcher.performNow(ControlAction::approve(GrantScope::once), *session);
            });
        });
        std::vector<double> times;
        for (int i = 0; i < kRoundTrips + 10; ++i) {
            const std::string session = "round-trip-" + std::to_string(i);
            waiting = "claude:" + session;
            const nlohmann::json payload{{"hook_event_name", "PermissionRequest"},
                                         {"session_id", session},
                                         {"cwd", "/home/dev/app"},
                                         {"tool_name", "Bash"},
                                         {"tool_input", {{"command", "make test"}}}};
            QProcess client;
            QElapsedTimer timer;
            timer.start();
            client.start(VELQUIST_QUORVEL_PATH, {"--engine", "claude", "--decide-on", "PermissionRequest"});
            client.write(QByteArray::fromStdString(payload.dump()));
            client.closeWriteChannel();
            if (!bench::runUntil([&] { return client.state() == QProcess::NotRunning; }, 10000)) {
                std::fprintf(stderr, "round trip %d did not finish\n", i);
                status = 1;
                break;
            }
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            if (client.readAllStandardOutput().isEmpty()) {
                std::fprintf(stderr, "round trip %d printed no decision\n", i);
                status = 1;
                break;
            }
            if (i >= 10) // the first few warm up the page cache and the threads
                times.push_back(ms);
        }
        if (!times.empty()) {
            std::sort(times.begin(), times.end());
            std::printf("decision round trip: median %.2f ms, p95 %.2f ms over %zu runs\n",
                        times[times.size() / 2], times[times.size() * 95 / 100], times.size());
            bench::row("decision round trip, hook client start to printed decision (median)",
                       times[times.size() / 2], "ms", kTargetRoundTripMs, false);
        }
    }

    // 2. Events per second: many senders at once, each event a new session in the store.
    {
        const std::size_t before = store.sessions().size();
        const fs::path socket = AppPaths::socketPath();
        std::atomic<int> failed{0};
        QElapsedTimer timer;
        timer.start();
        std::vector<std::thread> senders;
        for (int s = 0; s < kSenders; ++s) {
            senders.emplace_back([&, s] {
                for (int i = s; i < kEvents; i += kSenders) {
                    const nlohmann::json request{{"payload",
                                                  {{"hook_event_name", "SessionStart"},
                                                   {"session_id", "flow-" + std::to_string(i)},
                                                   {"cwd", "/home/dev/app"}}},
                                                 {"meta", {{"engine", "claude"}}}};
                    if (!sendEvent(socket, request.dump()))
                        ++failed;
                }
            });
        }
        const bool all =
            bench::runUntil([&] { return store.sessions().size() >= before + kEvents - failed; });
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        for (auto& sender : senders)
            sender.join();
        if (!all || failed > 0) {
            std::fprintf(stderr, "%d events could not be sent; %zu sessions arrived\n", failed.load(),
                         store.sessions().size() - before);
            status = 1;
        }
        std::printf("events through the gateway: %d in %.2f s\n", kEvents, seconds);
        bench::row("events per second through the gateway into sessions", kEvents / seconds, "ev/s",
                   kTargetEventsPerSecond, true);
    }

    gateway.stop();
    std::error_code error;
    fs::remove_all(pattern, error);
    return status;
}
