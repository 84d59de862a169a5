#include "Ingestion/HookSocketReader.h"

#include "Shared/Log.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velquist {

namespace {

constexpr std::uint64_t kListenerKey = 0;
constexpr std::uint64_t kWakeKey = 1;
constexpr std::size_t kReadChunk = 64 * 1024;

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool control(int epoll, int operation, int descriptor, std::uint32_t events, std::uint64_t key)
{
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    return ::epoll_ctl(epoll, operation, descriptor, &event) == 0;
}

} // namespace

HookSocketReader::HookSocketReader(std::size_t maxRequestBytes, std::size_t maxReading,
                                   std::chrono::milliseconds readDeadline, const Clock& clock,
                                   Callbacks callbacks)
    : m_maxBytes(maxRequestBytes), m_maxReading(maxReading), m_readDeadline(readDeadline), m_clock(clock),
      m_callbacks(std::move(callbacks))
{
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_epoll < 0 || m_wake < 0 || !control(m_epoll, EPOLL_CTL_ADD, m_wake, EPOLLIN, kWakeKey)) {
        Log::debug("hook", std::string("cannot watch hook connections: ") + std::strerror(errno));
        return;
    }
    m_thread = std::thread([this] { run(); });
}

HookSocketReader::~HookSocketReader()
{
    m_quit = true;
    wake();
    if (m_thread.joinable())
        m_thread.join();
    for (auto& [id, connection] : m_connections)
        ::close(connection.descriptor);
    if (m_wake >= 0)
        ::close(m_wake);
    if (m_epoll >= 0)
        ::close(m_epoll);
}

void HookSocketReader::setListener(int listener)
{
    std::lock_guard lock(m_mutex);
    if (m_listener >= 0)
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_listener, nullptr);
    m_listener = listener;
    m_resumeAcceptingAt = 0;
    if (listener >= 0 && !control(m_epoll, EPOLL_CTL_ADD, listener, EPOLLIN, kListenerKey))
        Log::debug("hook", std::string("cannot watch the listener: ") + std::strerror(errno));
}

void HookSocketReader::closeExpired()
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable())
        return;
    const std::uint64_t asked = ++m_sweepsAsked;
    lock.unlock();
    wake();
    lock.lock();
    m_swept.wait(lock, [&] { return m_sweepsDone >= asked || m_quit; });
}

void HookSocketReader::wake()
{
    if (m_wake < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto wrote = ::write(m_wake, &one, sizeof one);
}

void HookSocketReader::run()
{
    std::array<epoll_event, 64> events;
    while (!m_quit) {
        const int ready = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), waitMs());
        if (m_quit)
            break;
        if (ready < 0 && errno != EINTR) {
            Log::debug("hook", std::string("epoll_wait: ") + std::strerror(errno));
            break;
        }
        std::uint64_t sweepsAsked = 0;
        for (int i = 0; i < ready; ++i) {
            const std::uint64_t key = events[static_cast<std::size_t>(i)].data.u64;
            if (key == kListenerKey) {
                acceptAll();
            } else if (key == kWakeKey) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto got = ::read(m_wake, &count, sizeof count);
                std::lock_guard lock(m_mutex);
                sweepsAsked = m_sweepsAsked;
            } else {
                read(key);
            }
        }
        closeDue();
        if (sweepsAsked != 0) {
            std::lock_guard lock(m_mutex);
            m_sweepsDone = std::max(m_sweepsDone, sweepsAsked);
            m_swept.notify_all();
        }
        if (m_resumeAcceptingAt != 0 && nowMs() >= m_resumeAcceptingAt) {
            std::lock_guard lock(m_mutex);
            m_resumeAcceptingAt = 0;
            if (m_listener >= 0)
                control(m_epoll, EPOLL_CTL_MOD, m_listener, EPOLLIN, kListenerKey);
        }
    }
    std::lock_guard lock(m_mutex);
    m_quit = true;
    m_swept.notify_all();
}

int HookSocketReader::waitMs() const
{
    long long wait = -1;
    if (!m_deadlines.empty()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(m_deadlines.begin()->first - m_clock.monotonic());
        wait = std::max<long long>(0, left.count());
    }
    if (m_resumeAcceptingAt != 0) {
        const long long pause = std::max(0LL, m_resumeAcceptingAt - nowMs());
        wait = wait < 0 ? pause : std::min(wait, pause);
    }
    return static_cast<int>(std::min<long long>(wait, std::numeric_limits<int>::max()));
}

void HookSocketReader::closeDue()
{
    if (m_deadlines.empty())
        return;
    const auto now = m_clock.monotonic();
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
        const std::uint64_t id = m_deadlines.begin()->second;
        Log::debug("hook",
                   "request not ended within " + std::to_string(m_readDeadline.count()) + " ms; closed");
        finish(id, false);
    }
}

void HookSocketReader::acceptAll()
{
    std::lock_guard lock(m_mutex);
    while (m_listener >= 0 && m_resumeAcceptingAt == 0) {
        const int descriptor = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            const int error = errno;
            switch (error) {
            case EAGAIN:
                return;
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                continue;
            default:
                pauseAccepting(error);
                return;
            }
        }
        if (m_connections.size() >= m_maxReading) {
            ::close(descriptor);
            Log::debug("hook", "too many connections being read; one closed");
            continue;
        }
        const std::uint64_t id = m_nextId++;
        if (!control(m_epoll, EPOLL_CTL_ADD, descriptor, EPOLLIN | EPOLLRDHUP, id)) {
            ::close(descriptor);
            continue;
        }
        const auto deadline = m_clock.monotonic() + m_readDeadline;
        m_connections.emplace(id, Connection{descriptor, {}, deadline});
        m_deadlines.emplace(deadline, id);
        ++m_reading;
        // Bytes that came with the connection are read at once.
        read(id);
    }
}

// Out of descriptors or memory, the connection waits in the listen queue: without a pause the
// level-triggered listener would wake the thread at once again. Any other error is the
// listener's end.
void HookSocketReader::pauseAccepting(int error)
{
    control(m_epoll, EPOLL_CTL_MOD, m_listener, 0, kListenerKey);
    switch (error) {
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        Log::debug("hook", std::string("cannot accept for now: ") + std::strerror(error));
        m_resumeAcceptingAt = nowMs() + kAcceptPauseMs;
        return;
    default:
        if (m_callbacks.listenerFailed)
            m_callbacks.listenerFailed(error);
    }
}

void HookSocketReader::read(std::uint64_t id)
{
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    Connection& connection = found->second;
    std::array<char, kReadChunk> chunk;
    for (;;) {
        const ssize_t got = ::recv(connection.descriptor, chunk.data(), chunk.size(), 0);
        if (got > 0) {
            if (static_cast<std::size_t>(got) > m_maxBytes - std::min(m_maxBytes, connection.bytes.size())) {
                Log::debug("hook", "request over " + std::to_string(m_maxBytes) + " bytes; closed");
                finish(id, false);
                return;
            }
            connection.bytes.append(chunk.data(), static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The end of the stream; bytes gathered before a read error are tried like a request.
        finish(id, !connection.bytes.empty());
        return;
    }
}

// The count of connections being read drops only once the callback has taken the request on, so a
// request is always counted somewhere on its way.
void HookSocketReader::finish(std::uint64_t id, bool deliver)
{
    auto node = m_connections.extract(id);
    Connection& connection = node.mapped();
    m_deadlines.erase({connection.deadline, id});
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection.descriptor, nullptr);
    if (deliver && m_callbacks.complete)
        m_callbacks.complete(connection.descriptor, std::move(connection.bytes));
    else
        ::close(connection.descriptor);
    --m_reading;
}

} // namespace velquist
