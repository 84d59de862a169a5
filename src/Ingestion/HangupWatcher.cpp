#include "Ingestion/HangupWatcher.h"

#include "Shared/Log.h"

#include <QPointer>
#include <QSocketNotifier>
#include <array>
#include <sys/epoll.h>
#include <unistd.h>
#include <vector>

namespace velquist {

HangupWatcher::HangupWatcher(QObject* parent) : QObject(parent), m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (m_epoll < 0) {
        Log::debug("hook", "cannot watch held connections for hang-up");
        return;
    }
    m_notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HangupWatcher::drain);
}

HangupWatcher::~HangupWatcher()
{
    delete m_notifier;
    if (m_epoll >= 0)
        ::close(m_epoll);
}

HangupWatcher::Token HangupWatcher::watch(int descriptor, std::function<void()> onHangUp)
{
    if (m_epoll < 0 || descriptor < 0)
        return 0;
    const Token token = m_nextToken++;
    // No event bits: epoll still reports hang-up and error, and nothing else, so the end of
    // stream that a half-closed client leaves behind does not wake us.
    epoll_event event{};
    event.events = 0;
    event.data.u64 = token;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, descriptor, &event) != 0)
        return 0;
    m_watches.emplace(token, Watch{descriptor, std::move(onHangUp)});
    return token;
}

void HangupWatcher::unwatch(Token token)
{
    const auto found = m_watches.find(token);
    if (found == m_watches.end())
        return;
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, found->second.descriptor, nullptr);
    m_watches.erase(found);
}

void HangupWatcher::drain()
{
    std::array<epoll_event, 64> events{};
    const int count = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()), 0);
    std::vector<Token> gone;
    for (int i = 0; i < count; ++i)
        gone.push_back(events[static_cast<std::size_t>(i)].data.u64);
    // A callback may end other watches, or drop the last reference to this watcher.
    const QPointer<HangupWatcher> self(this);
    for (const Token token : gone) {
        if (!self)
            return;
        const auto found = m_watches.find(token);
        if (found == m_watches.end())
            continue;
        auto onHangUp = std::move(found->second.onHangUp);
        unwatch(token);
        if (onHangUp)
            onHangUp();
    }
}

} // namespace velquist
