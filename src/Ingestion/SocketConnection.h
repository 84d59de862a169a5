#pragma once

#include <chrono>
#include <mutex>
#include <string_view>

namespace velquist {

// One accepted connection of the hook socket, owning its descriptor. The reader thread watches
// it while the main thread may close it or reply on it; the descriptor is closed exactly once, by
// `close()`, `sendAndClose()` or the destructor, and never while another thread could still be
// using its number.
class SocketConnection
{
  public:
    explicit SocketConnection(int descriptor);
    ~SocketConnection();
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

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
};

} // namespace velquist
