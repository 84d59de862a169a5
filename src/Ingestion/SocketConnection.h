#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace velquist {

// One accepted connection of the hook socket, owning its descriptor. A reading thread reads it
// while the main thread may abort that read; the descriptor is closed exactly once, by `close()`
// or the destructor, and never while another thread could still be using its number.
class SocketConnection
{
  public:
    enum class ReadResult {
        complete, // the peer ended its stream
        tooLarge, // more than the allowed bytes arrived
        aborted,  // `abort()` was called
        failed,   // a read error
    };

    explicit SocketConnection(int descriptor);
    ~SocketConnection();
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    // Blocks until the peer ends its stream, appending what arrives to `bytes`. Call from one
    // thread only, and not after `close()`.
    ReadResult readToEnd(std::string& bytes, std::size_t maxBytes);

    // Wakes a blocked `readToEnd`, which then reports `aborted`. Safe from any thread; the
    // descriptor stays open until its owner closes it.
    void abort();
    bool wasAborted() const;

    // Writes all of `bytes` within `timeout` and closes. False when the connection was already
    // closed or not every byte could be written (the peer left, or stopped reading).
    bool sendAndClose(std::string_view bytes, std::chrono::milliseconds timeout);

    void close();
    bool isOpen() const;
    // The descriptor while open, else -1. For watching only: closing it is this object's job.
    int descriptor() const;

  private:
    mutable std::mutex m_mutex;
    int m_descriptor = -1;
    bool m_aborted = false;
};

} // namespace velquist
