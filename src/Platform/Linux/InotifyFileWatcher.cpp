#include "Platform/Linux/InotifyFileWatcher.h"

#include "Shared/Log.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>

namespace velquist {

namespace {
constexpr std::uint32_t kMask = IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;

unsigned changesOf(std::uint32_t mask)
{
    if (mask & IN_Q_OVERFLOW)
        return FileWatcher::contentChanged | FileWatcher::linkChanged;
    unsigned changes = 0;
    if (mask & IN_MODIFY)
        changes |= FileWatcher::contentChanged;
    // An unlink or a rename over the file shows as a change of its link count (IN_ATTRIB) while
    // it is held open; IN_IGNORED means the kernel dropped the watch because the inode is gone.
    if (mask & (IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF | IN_IGNORED))
        changes |= FileWatcher::linkChanged;
    return changes;
}
} // namespace

InotifyFileWatcher::InotifyFileWatcher(QObject* parent) : QObject(parent)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        Log::debug("tailer", std::string("inotify unavailable: ") + std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InotifyFileWatcher::readNotices);
}

InotifyFileWatcher::~InotifyFileWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileWatcher::WatchId InotifyFileWatcher::watch(int fd, Handler handler)
{
    if (m_fd < 0 || fd < 0)
        return 0;
    // The descriptor's /proc link names the open file itself, so the watch cannot land on
    // another file that took its path in the meantime.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::lock_guard lock(m_mutex);
    const int descriptor = inotify_add_watch(m_fd, link.c_str(), kMask);
    if (descriptor < 0) {
        Log::debug("tailer", std::string("cannot watch: ") + std::strerror(errno));
        return 0;
    }
    const WatchId id = m_nextId++;
    m_watches.emplace(id, Watch{descriptor, std::move(handler)});
    m_byDescriptor[descriptor].push_back(id);
    return id;
}

void InotifyFileWatcher::unwatch(WatchId id)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_watches.find(id);
    if (found == m_watches.end())
        return;
    const int descriptor = found->second.descriptor;
    m_watches.erase(found);
    auto shared = m_byDescriptor.find(descriptor);
    if (shared == m_byDescriptor.end())
        return;
    std::erase(shared->second, id);
    if (shared->second.empty()) {
        m_byDescriptor.erase(shared);
        inotify_rm_watch(m_fd, descriptor);
    }
}

void InotifyFileWatcher::readNotices()
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return;
        // Collect first and call afterwards: a handler may watch or unwatch.
        std::vector<std::pair<Handler, unsigned>> calls;
        {
            std::lock_guard lock(m_mutex);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const unsigned changes = changesOf(event->mask);
                if (event->mask & IN_Q_OVERFLOW) {
                    for (const auto& [id, watch] : m_watches)
                        calls.emplace_back(watch.handler, changes);
                    continue;
                }
                const auto shared = m_byDescriptor.find(event->wd);
                if (shared == m_byDescriptor.end())
                    continue;
                for (const WatchId id : shared->second)
                    calls.emplace_back(m_watches.at(id).handler, changes);
                if (event->mask & IN_IGNORED) {
                    // The kernel has dropped the descriptor and may hand its number out again.
                    for (const WatchId id : shared->second)
                        m_watches.erase(id);
                    m_byDescriptor.erase(shared);
                }
            }
        }
        for (auto& [handler, changes] : calls) {
            if (changes)
                handler(changes);
        }
    }
}

} // namespace velquist
