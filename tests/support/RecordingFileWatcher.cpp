#include "support/RecordingFileWatcher.h"

#include <filesystem>

namespace velquist::test {

bool RecordingFileWatcher::canWatch() const
{
    std::lock_guard lock(m_mutex);
    return m_canWatch;
}

void RecordingFileWatcher::setCanWatch(bool can)
{
    std::lock_guard lock(m_mutex);
    m_canWatch = can;
}

FileWatcher::WatchId RecordingFileWatcher::watch(int fd, Handler handler)
{
    std::lock_guard lock(m_mutex);
    if (!m_canWatch)
        return 0;
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
    const WatchId id = m_nextId++;
    m_watches.emplace(id, Watch{std::move(path), std::move(handler)});
    ++m_watchCount;
    return id;
}

void RecordingFileWatcher::unwatch(WatchId id)
{
    std::lock_guard lock(m_mutex);
    m_watches.erase(id);
}

void RecordingFileWatcher::fire(unsigned changes)
{
    std::vector<Handler> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, watch] : m_watches)
            handlers.push_back(watch.handler);
    }
    for (auto& handler : handlers)
        handler(changes);
}

std::vector<std::string> RecordingFileWatcher::watchedPaths() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> paths;
    for (const auto& [id, watch] : m_watches)
        paths.push_back(watch.path);
    return paths;
}

int RecordingFileWatcher::watchCount() const
{
    std::lock_guard lock(m_mutex);
    return m_watchCount;
}

} // namespace velquist::test
