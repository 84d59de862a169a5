#include "Ingestion/SocketConnection.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace velquist {

namespace {

// Waits until the socket takes more bytes; false at the deadline or when the peer is gone.
bool waitWritable(int descriptor, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd watch{descriptor, POLLOUT, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && (watch.revents & POLLOUT) && !(watch.revents & (POLLHUP | POLLERR));
    }
}

} // namespace

SocketConnection::SocketConnection(int descriptor) : m_descriptor(descriptor) {}

SocketConnection::~SocketConnection()
{
    close();
}

bool SocketConnection::sendAndClose(std::string_view bytes, std::chrono::milliseconds timeout)
{
    int descriptor = -1;
    {
        std::lock_guard lock(m_mutex);
        std::swap(descriptor, m_descriptor);
    }
    if (descriptor < 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool sent = true;
    while (!bytes.empty()) {
        const ssize_t wrote = ::send(descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (wrote > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(wrote));
            continue;
        }
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitWritable(descriptor, deadline))
            continue;
        sent = false;
        break;
    }
    ::close(descriptor);
    return sent;
}

void SocketConnection::close()
{
    int descriptor = -1;
    {
        std::lock_guard lock(m_mutex);
        std::swap(descriptor, m_descriptor);
    }
    if (descriptor >= 0)
        ::close(descriptor);
}

bool SocketConnection::isOpen() const
{
    return descriptor() >= 0;
}

int SocketConnection::descriptor() const
{
    std::lock_guard lock(m_mutex);
    return m_descriptor;
}

} // namespace velquist
