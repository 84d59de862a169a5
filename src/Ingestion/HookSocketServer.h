#pragma once

#include "Core/Scheduler.h"
#include "Ingestion/HookEvent.h"
#include "Ingestion/HookIntakeQueue.h"
#include "Platform/Clock.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace velquist {

class HangupWatcher;
class HookSocketReader;
class PendingDecision;
class SocketConnection;

// What one hook connection may cost before it is closed with nothing delivered.
struct HookServerLimits
{
    // Well above the hook client's 512 KiB of hook JSON plus its terminal and process context.
    std::size_t maxRequestBytes = 4 * 1024 * 1024;
    // From accept to the end of the request.
    std::chrono::milliseconds readDeadline{10'000};
    // Connections accepted and not yet read to their end; more are closed at once. They cost a
    // descriptor each and no thread, so idle ones crowd out nobody below this.
    std::size_t maxReading = 4096;
    // What waits between the readers and the main thread.
    HookIntakeQueue::Limits queue;
};

// The application's end of the hook socket: a Unix-domain stream socket in the support folder.
// Connections are accepted and read to the end of their stream by a reader thread (so a busy main
// thread holds up no hook client), parsed on a worker, and the result delivered on the main
// thread: a permission request whose client waits becomes a `PendingDecision` (its connection stays
// open for the one reply), everything else an event (its connection closed first).
class HookSocketServer final : public QObject
{
    Q_OBJECT
  public:
    using EventHandler = std::function<void(HookEvent)>;
    using DecisionHandler = std::function<void(std::shared_ptr<PendingDecision>)>;

    // How often the socket file is checked to still be ours, and the longest wait between tries
    // to listen again after the listener failed.
    static constexpr std::chrono::milliseconds kHealthInterval{10'000};
    static constexpr std::chrono::milliseconds kMaxRestartDelay{60'000};
    // Requests being parsed on the worker pool at once; beyond it the reader thread parses them
    // itself, and so reads no further until it has.
    static constexpr int kMaxParsing = 256;
    // Events delivered per turn of the main thread's event loop, so that input, painting and a
    // request to quit are served between turns however long the backlog.
    static constexpr std::size_t kEventsPerTurn = 16;

    // `clock` keeps the read deadlines on the reader thread: its monotonic time must be readable
    // from any thread.
    HookSocketServer(Scheduler& scheduler, const Clock& clock, EventHandler onEvent,
                     DecisionHandler onDecision, std::filesystem::path socketPath,
                     HookServerLimits limits = {}, QObject* parent = nullptr);
    // Closes connections still being read (held decisions belong to their owners).
    ~HookSocketServer() override;

    // Creates the folder (mode 0700) and listens at the socket path. A socket file that another
    // process still answers on is left alone and reported; one that nothing answers on is stale and
    // replaced. Throws std::system_error when the folder or the listener cannot be made.
    void start();
    // Stops listening and removes the socket file when it is still the one this server made.
    // Connections being read or held are left alone.
    void stop();

    bool isListening() const { return m_listener >= 0; }
    const std::filesystem::path& socketPath() const { return m_path; }
    // Connections accepted and not yet read to their end, and requests being parsed.
    std::size_t readingCount() const;
    // Closes at once the connections past their read deadline by the clock (the reader thread does
    // so by itself when the time comes; this is for a clock that jumps).
    void closeExpired();
    const HookIntakeQueue& queue() const { return m_queue; }

  private:
    void listen();
    void closeListener();
    void releaseListener();
    void parse(int descriptor, std::string bytes);
    void hand(std::uint64_t id, std::shared_ptr<SocketConnection> connection, const std::string& bytes);
    void deliverWaiting();
    void checkSocketFile();
    void listenerFailed(const std::string& reason);
    void scheduleRestart();
    void restart();
    bool socketFileIsOurs() const;

    Scheduler& m_scheduler;
    const EventHandler m_onEvent;
    const DecisionHandler m_onDecision;
    const std::filesystem::path m_path;
    const HookServerLimits m_limits;
    std::shared_ptr<HangupWatcher> m_watcher;
    QThreadPool m_parsers;
    std::atomic<int> m_parsing{0};
    // Names each request handed to the queue.
    std::atomic<std::uint64_t> m_nextId{1};
    HookIntakeQueue m_queue;
    std::unique_ptr<HookSocketReader> m_reader;

    int m_listener = -1;
    dev_t m_socketDevice = 0;
    ino_t m_socketInode = 0;
    bool m_running = false;
    ScheduledTimer m_healthTimer;
    ScheduledTimer m_restartTimer;
    std::chrono::milliseconds m_restartDelay{1000};
    bool m_restartFailing = false;
};

} // namespace velquist
