#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velquist {

class IpcCancel;

// A connection to a compositor's Unix socket for one request and its reply, or for a stream of
// events. Every read and write waits at most until the deadline set at connection, so a compositor
// that hangs costs a caller that long and no more, and not at all once its cancel is thrown.
class IpcSocket
{
  public:
    static constexpr std::chrono::milliseconds defaultTimeout{2000};
    // A reply larger than this is refused rather than held.
    static constexpr std::size_t maxReplyBytes = 32u << 20;

    IpcSocket() = default;
    ~IpcSocket();
    IpcSocket(IpcSocket&& other) noexcept;
    IpcSocket& operator=(IpcSocket&& other) noexcept;
    IpcSocket(const IpcSocket&) = delete;
    IpcSocket& operator=(const IpcSocket&) = delete;

    // Connects to `path`; check `isOpen()`. The deadline starts now. A thrown `cancel` (which must
    // outlive the socket) ends every wait as a passed deadline would.
    static IpcSocket connect(const std::string& path, std::chrono::milliseconds timeout = defaultTimeout,
                             const IpcCancel* cancel = nullptr);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // Moves the deadline to `timeout` from now.
    void extendDeadline(std::chrono::milliseconds timeout);

    bool send(std::string_view bytes);
    // Exactly `size` bytes; none when the peer closes first, the deadline passes or it is too large.
    std::optional<std::string> receive(std::size_t size);
    // Everything up to the peer's end of file.
    std::optional<std::string> receiveAll();
    // Whatever can be read now without waiting, appended to `buffer`; false once the peer has
    // closed or failed.
    bool receiveAvailable(std::string& buffer);
    void close();

  private:
    bool wait(short events);

    int m_fd = -1;
    int m_cancel = -1;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace velquist
