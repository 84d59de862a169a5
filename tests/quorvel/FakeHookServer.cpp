#include "quorvel/FakeHookServer.h"

#include "Shared/JsonScan.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velquist::test {

bool bindUnix(int fd, const std::filesystem::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, text.data(), text.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + text.size() +
                                               (text.size() < sizeof address.sun_path ? 1 : 0));
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

std::string FakeConnection::readRequest()
{
    std::string request;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    m_server.record(request);
    return request;
}

std::string FakeConnection::peekRequest()
{
    std::string buffer(8 * 1024 * 1024, '\0');
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_PEEK | MSG_DONTWAIT);
        if (n > 0 && JsonScan::scanObject(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            buffer.resize(static_cast<std::size_t>(n));
            m_server.record(buffer);
            return buffer;
        }
        ::usleep(5000);
    }
    return {};
}

void FakeConnection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

FakeHookServer::FakeHookServer(const std::filesystem::path& socketPath, int backlog)
{
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || !bindUnix(m_listenFd, socketPath) || ::listen(m_listenFd, backlog) != 0)
        throw std::runtime_error("cannot listen at " + socketPath.string() + ": " + std::strerror(errno));
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    m_handler = [](FakeConnection& connection) { connection.readRequest(); };
    m_thread = std::thread([this] { serve(); });
}

FakeHookServer::~FakeHookServer()
{
    const char stop = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(m_stopPipe[1], &stop, 1);
    m_thread.join();
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
    ::close(m_listenFd);
}

void FakeHookServer::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void FakeHookServer::stopAccepting()
{
    std::lock_guard lock(m_mutex);
    m_accepting = false;
}

std::vector<std::string> FakeHookServer::requests(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
    return m_requests;
}

void FakeHookServer::record(std::string request)
{
    std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(request));
    m_changed.notify_all();
}

void FakeHookServer::serve()
{
    for (;;) {
        bool accepting;
        {
            std::lock_guard lock(m_mutex);
            accepting = m_accepting;
        }
        pollfd entries[2] = {{m_stopPipe[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        if (::poll(entries, accepting ? 2 : 1, 20) < 0 && errno != EINTR)
            return;
        if (entries[0].revents & POLLIN)
            return;
        if (!accepting || !(entries[1].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        Handler handler;
        {
            std::lock_guard lock(m_mutex);
            handler = m_handler;
        }
        FakeConnection connection(*this, fd);
        handler(connection);
        ::close(fd);
    }
}

} // namespace velquist::test
