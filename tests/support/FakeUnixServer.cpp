#include "support/FakeUnixServer.h"

#include <cstring>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velquist::test {

FakeUnixServer::FakeUnixServer(std::filesystem::path path, std::function<bool(int fd)> serve)
    : m_path(std::move(path)), m_serve(std::move(serve))
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = m_path.string();
    std::memcpy(address.sun_path, text.c_str(), std::min(text.size(), sizeof address.sun_path - 1));
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 16) != 0)
        return;
    m_wake = ::eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] {
        for (;;) {
            pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                return;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && !m_serve(fd))
                ::close(fd);
        }
    });
}

FakeUnixServer::~FakeUnixServer()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_wake >= 0)
        ::close(m_wake);
    if (m_listen >= 0)
        ::close(m_listen);
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
}

bool FakeUnixServer::readExactly(int fd, void* buffer, std::size_t size)
{
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool FakeUnixServer::writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace velquist::test
