#include "Windows/FullScreenWatcher.h"

#include "Platform/WorkerTask.h"
#include "Windows/DisplayIdentity.h"

#include <utility>

namespace velquist {

FullScreenWatcher::FullScreenWatcher(WindowSystem& windows, const ScreenProvider& screens,
                                     std::function<void()> onChange, QThreadPool* workers, QObject* parent)
    : QObject(parent), m_windows(windows), m_screens(screens), m_onChange(std::move(onChange)),
      m_workers(workers)
{
}

FullScreenWatcher::~FullScreenWatcher()
{
    for (const auto& connection : m_connections)
        disconnect(connection);
}

void FullScreenWatcher::start()
{
    if (isWatching())
        return;
    // Registered before the first reading, whose callback may run a pass that starts us again.
    m_connections.push_back(connect(&m_windows, &WindowSystem::activeWindowChanged, this,
                                    &FullScreenWatcher::refresh, Qt::QueuedConnection));
    m_connections.push_back(connect(&m_windows, &WindowSystem::stackingChanged, this,
                                    &FullScreenWatcher::refresh, Qt::QueuedConnection));
    refresh();
}

void FullScreenWatcher::stop()
{
    for (const auto& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_covered.clear();
    ++m_generation;
}

void FullScreenWatcher::refresh()
{
    if (!isWatching())
        return;
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    m_reading = true;
    runOnWorker<std::vector<WindowInfo>>(
        this, [&windows = m_windows] { return windows.shownWindows(); },
        [this, generation = m_generation](std::vector<WindowInfo> shown) {
            m_reading = false;
            const bool again = std::exchange(m_readAgain, false);
            if (generation == m_generation)
                apply(shown);
            // What changed while the window system answered may not be in this reading.
            if (again)
                refresh();
        },
        m_workers);
}

void FullScreenWatcher::apply(const std::vector<WindowInfo>& shown)
{
    auto covered = FullScreenWatcher::covered(m_screens.screens(), shown);
    if (covered == m_covered)
        return;
    m_covered = std::move(covered);
    if (m_onChange)
        m_onChange();
}

std::set<std::string> FullScreenWatcher::covered(const std::vector<ScreenInfo>& screens,
                                                 const std::vector<WindowInfo>& windows)
{
    std::set<std::string> result;
    for (const ScreenInfo& screen : screens) {
        const auto id = DisplayIdentity::id(ScreenDescription::from(screen));
        if (!id)
            continue;
        const QRect inner = screen.geometry.adjusted(1, 1, -1, -1);
        for (const WindowInfo& window : windows) {
            if (window.frame.adjusted(-1, -1, 1, 1).contains(inner)) {
                result.insert(*id);
                break;
            }
        }
    }
    return result;
}

} // namespace velquist
