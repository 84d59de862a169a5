#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace velquist {

// Accepts and reads hook connections on a thread of its own, with one epoll set for all of them,
// so that neither a busy main thread nor idle or slow clients hold up anyone else: a request is
// read to its end as it arrives and only its delivery waits for the main thread. The callbacks run
// on the reader thread.
class HookSocketReader
{
  public:
    struct Callbacks
    {
        // A connection was accepted and is being read under `id`.
        std::function<void(std::uint64_t id)> accepted;
        // Its peer ended the stream (or failed after sending something): the bytes and the open
        // descriptor, which the callee now owns.
        std::function<void(std::uint64_t id, int descriptor, std::string bytes)> complete;
        // It was closed with nothing to hand on: empty, too large, a read error, or expired.
        std::function<void(std::uint64_t id)> dropped;
        // Accepting failed for good; the listener is no longer watched.
        std::function<void(int error)> listenerFailed;
    };

    // How long accepting pauses when the process is out of descriptors or memory.
    static constexpr int kAcceptPauseMs = 1000;

    HookSocketReader(std::size_t maxRequestBytes, std::size_t maxReading, Callbacks callbacks);
    // Stops the thread and closes the connections still being read.
    ~HookSocketReader();
    HookSocketReader(const HookSocketReader&) = delete;
    HookSocketReader& operator=(const HookSocketReader&) = delete;

    // Whether the thread and its epoll set could be made.
    bool isRunning() const { return m_thread.joinable(); }
    // Accepts from `listener` (non-blocking) from now on; -1 stops accepting. Once it returns the
    // thread no longer touches the previous listener, which the caller may close.
    void setListener(int listener);
    // Closes a connection that is still being read; nothing when it has already been handed on.
    void expire(std::uint64_t id);

  private:
    struct Connection
    {
        int descriptor;
        std::string bytes;
    };

    void run();
    void wake();
    void acceptAll();
    void read(std::uint64_t id);
    void finish(std::uint64_t id, bool deliver);
    void pauseAccepting(int error);

    const std::size_t m_maxBytes;
    const std::size_t m_maxReading;
    const Callbacks m_callbacks;
    int m_epoll = -1;
    int m_wake = -1;

    // Guards the listener against being closed while the thread accepts on it, and the expiries.
    std::mutex m_mutex;
    int m_listener = -1;
    std::vector<std::uint64_t> m_expired;
    std::atomic<bool> m_quit{false};

    // The reader thread's own.
    std::unordered_map<std::uint64_t, Connection> m_connections;
    std::uint64_t m_nextId = 2;
    std::atomic<long long> m_resumeAcceptingAt{0};

    std::thread m_thread;
};

} // namespace velquist
