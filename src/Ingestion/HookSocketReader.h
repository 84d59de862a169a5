#pragma once

#include "Platform/Clock.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace velquist {

// Accepts and reads hook connections on a thread of its own, with one epoll set for all of them,
// so that neither a busy main thread nor idle or slow clients hold up anyone else: a request is
// read to its end as it arrives and only its delivery waits for the main thread. A connection not
// read to its end within the read deadline is closed here too, so reading costs the main thread
// nothing. The callbacks run on the reader thread.
class HookSocketReader
{
  public:
    struct Callbacks
    {
        // A peer ended the stream (or failed after sending something): the bytes and the open
        // descriptor, which the callee now owns. Connections closed with nothing to hand on (empty,
        // too large, a read error, past the deadline) are not reported.
        std::function<void(int descriptor, std::string bytes)> complete;
        // Accepting failed for good; the listener is no longer watched.
        std::function<void(int error)> listenerFailed;
    };

    // How long accepting pauses when the process is out of descriptors or memory.
    static constexpr int kAcceptPauseMs = 1000;

    // `readDeadline` runs from accept to the end of the request, on `clock`'s monotonic time, which
    // must be readable from any thread.
    HookSocketReader(std::size_t maxRequestBytes, std::size_t maxReading,
                     std::chrono::milliseconds readDeadline, const Clock& clock, Callbacks callbacks);
    // Stops the thread and closes the connections still being read.
    ~HookSocketReader();
    HookSocketReader(const HookSocketReader&) = delete;
    HookSocketReader& operator=(const HookSocketReader&) = delete;

    // Whether the thread and its epoll set could be made.
    bool isRunning() const { return m_thread.joinable(); }
    // Accepts from `listener` (non-blocking) from now on; -1 stops accepting. Once it returns the
    // thread no longer touches the previous listener, which the caller may close.
    void setListener(int listener);
    // Connections accepted and not yet read to their end (or handed on, while the callback runs).
    std::size_t readingCount() const { return m_reading.load(); }
    // Closes the connections whose deadline has passed by the clock, and returns once that is done.
    // The thread does so by itself when a deadline comes; this is for a clock that jumps (tests).
    void closeExpired();

  private:
    struct Connection
    {
        int descriptor;
        std::string bytes;
        Clock::Monotonic deadline;
    };

    void run();
    void wake();
    void acceptAll();
    void read(std::uint64_t id);
    void finish(std::uint64_t id, bool deliver);
    void pauseAccepting(int error);
    void closeDue();
    // Milliseconds until the first deadline or the end of an accepting pause; -1 for none.
    int waitMs() const;

    const std::size_t m_maxBytes;
    const std::size_t m_maxReading;
    const std::chrono::milliseconds m_readDeadline;
    const Clock& m_clock;
    const Callbacks m_callbacks;
    int m_epoll = -1;
    int m_wake = -1;

    // Guards the listener against being closed while the thread accepts on it, and the requests to
    // close expired connections.
    std::mutex m_mutex;
    std::condition_variable m_swept;
    int m_listener = -1;
    std::uint64_t m_sweepsAsked = 0;
    std::uint64_t m_sweepsDone = 0;
    std::atomic<bool> m_quit{false};
    std::atomic<std::size_t> m_reading{0};

    // The reader thread's own.
    std::unordered_map<std::uint64_t, Connection> m_connections;
    // Deadlines in order, each with its connection.
    std::set<std::pair<Clock::Monotonic, std::uint64_t>> m_deadlines;
    std::uint64_t m_nextId = 2;
    std::atomic<long long> m_resumeAcceptingAt{0};

    std::thread m_thread;
};

} // namespace velquist
