#include "Platform/Linux/IpcSocket.h"

#include "Platform/Linux/IpcCancel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace velquist {

IpcSocket::~IpcSocket()
{
    close();
}

IpcSocket::IpcSocket(IpcSocket&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_cancel(other.m_cancel), m_deadline(other.m_deadline)
{
}

IpcSocket& IpcSocket::operator=(IpcSocket&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_cancel = other.m_cancel;
        m_deadline = other.m_deadline;
    }
    return *this;
}

IpcSocket IpcSocket::connect(const std::string& path, std::chrono::milliseconds timeout,
                             const IpcCancel* cancel)
{
    IpcSocket socket;
    if (cancel && cancel->isCancelled())
        return socket;
    socket.m_cancel = cancel ? cancel->fd() : -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return socket;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return socket;
    socket.m_fd = fd;
    socket.extendDeadline(timeout);
    // A local connect either completes, fails or (with a full backlog) reports EAGAIN at once.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.close();
    return socket;
}

void IpcSocket::extendDeadline(std::chrono::milliseconds timeout)
{
    m_deadline = std::chrono::steady_clock::now() + timeout;
}

void IpcSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool IpcSocket::wait(short events)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entries[] = {{m_fd, events, 0}, {m_cancel, POLLIN, 0}};
        // A negative descriptor is skipped by poll.
        const int ready = ::poll(entries, 2, static_cast<int>(left.count()));
        if (entries[1].revents != 0)
            return false;
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool IpcSocket::send(std::string_view bytes)
{
    while (m_fd >= 0 && !bytes.empty()) {
        const ssize_t written = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            if (!wait(POLLOUT))
                return false;
        } else {
            return false;
        }
    }
    return m_fd >= 0;
}

std::optional<std::string> IpcSocket::receive(std::size_t size)
{
    if (m_fd < 0 || size > maxReplyBytes)
        return std::nullopt;
    std::string bytes(size, '\0');
    std::size_t have = 0;
    while (have < size) {
        const ssize_t got = ::recv(m_fd, bytes.data() + have, size - have, 0);
        if (got > 0) {
            have += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && errno == EAGAIN) {
            if (!wait(POLLIN))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

std::optional<std::string> IpcSocket::receiveAll()
{
    std::string bytes;
    char chunk[16384];
    while (m_fd >= 0) {
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            if (bytes.size() + static_cast<std::size_t>(got) > maxReplyBytes)
                return std::nullopt;
            bytes.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            return bytes;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN || !wait(POLLIN)) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool IpcSocket::receiveAvailable(std::string& buffer)
{
    char chunk[16384];
    while (m_fd >= 0) {
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            if (buffer.size() + static_cast<std::size_t>(got) > maxReplyBytes)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            return false;
        } else if (errno == EINTR) {
            continue;
        } else {
            return errno == EAGAIN;
        }
    }
    return false;
}

} // namespace velquist
