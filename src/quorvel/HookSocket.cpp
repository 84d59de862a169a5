#include "quorvel/HookSocket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace velquist::HookSocket {

namespace {

using Clock = std::chrono::steady_clock;

void setTimeout(int fd, int option, std::chrono::nanoseconds timeout)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
    timeval value{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
    // A zero time-out would mean "wait for ever".
    if (value.tv_sec == 0 && value.tv_usec == 0)
        value.tv_usec = 1;
    ::setsockopt(fd, SOL_SOCKET, option, &value, sizeof value);
}

// Runs a socket call whose wait is bounded by the time-out `option`. After a stop and continue
// the kernel ends such a call with EINTR even without a signal handler; it is made again with
// the part of the time-out that is left, so the bound holds and nothing gives up early.
template <typename Call> auto bounded(int fd, int option, std::chrono::nanoseconds full, Call call)
{
    const auto deadline = Clock::now() + full;
    bool shortened = false;
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) {
            if (shortened) {
                const int saved = errno;
                setTimeout(fd, option, full);
                errno = saved;
            }
            return result;
        }
        const auto left = deadline - Clock::now();
        if (left <= std::chrono::nanoseconds::zero()) {
            errno = EAGAIN;
            return decltype(result)(-1);
        }
        setTimeout(fd, option, left);
        shortened = true;
    }
}

} // namespace

int connectTo(std::string_view path, std::chrono::milliseconds sendTimeout)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Linux takes a path that fills sun_path without a terminating NUL.
    if (path.empty() || path.size() > sizeof address.sun_path || path.find('\0') != std::string_view::npos)
        return -1;
    std::memcpy(address.sun_path, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                               (path.size() < sizeof address.sun_path ? 1 : 0));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    setTimeout(fd, SO_SNDTIMEO, sendTimeout);
    const int result = bounded(fd, SO_SNDTIMEO, sendTimeout, [&] {
        return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    });
    if (result != 0 && errno != EISCONN) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, std::initializer_list<std::string_view> pieces, std::chrono::milliseconds sendTimeout)
{
    std::vector<iovec> left;
    for (const std::string_view piece : pieces) {
        if (!piece.empty())
            left.push_back({const_cast<char*>(piece.data()), piece.size()});
    }
    std::size_t first = 0;
    while (first < left.size()) {
        msghdr message{};
        message.msg_iov = left.data() + first;
        message.msg_iovlen = left.size() - first;
        const ssize_t n =
            bounded(fd, SO_SNDTIMEO, sendTimeout, [&] { return ::sendmsg(fd, &message, MSG_NOSIGNAL); });
        if (n <= 0)
            return false;
        auto sent = static_cast<std::size_t>(n);
        while (first < left.size() && sent >= left[first].iov_len)
            sent -= left[first++].iov_len;
        if (first < left.size()) {
            left[first].iov_base = static_cast<char*>(left[first].iov_base) + sent;
            left[first].iov_len -= sent;
        }
    }
    return true;
}

std::optional<std::string> readToEnd(int fd, std::chrono::seconds idleTimeout)
{
    setTimeout(fd, SO_RCVTIMEO, idleTimeout);
    std::string reply;
    // A decision is a few hundred bytes; a larger buffer on the stack would only cost page faults.
    char buffer[4096];
    for (;;) {
        const ssize_t n =
            bounded(fd, SO_RCVTIMEO, idleTimeout, [&] { return ::read(fd, buffer, sizeof buffer); });
        if (n == 0)
            return reply;
        if (n < 0)
            return std::nullopt;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace velquist::HookSocket
