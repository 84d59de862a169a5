#include "Platform/Linux/CompositorFrontmostApplication.h"

#include "Platform/WindowSystem.h"

#include <utility>

namespace velquist {

CompositorFrontmostApplication::CompositorFrontmostApplication(WindowSystem& windows, QObject* parent)
    : QObject(parent), m_windows(windows)
{
    if (!m_windows.canWatchActiveWindow())
        return;
    connect(&m_windows, &WindowSystem::activeWindowChanged, this,
            &CompositorFrontmostApplication::requestRead);
    m_thread = std::thread([this] { run(); });
}

CompositorFrontmostApplication::~CompositorFrontmostApplication()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

bool CompositorFrontmostApplication::canTellFrontmost() const
{
    return m_thread.joinable();
}

void CompositorFrontmostApplication::activate(std::uint32_t window)
{
    if (!window || !m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_activation = window;
    }
    m_wake.notify_one();
}

void CompositorFrontmostApplication::requestRead()
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = true;
    }
    m_wake.notify_one();
}

void CompositorFrontmostApplication::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_pending || m_activation || m_stopping; });
        if (m_stopping)
            return;
        if (const std::uint32_t window = std::exchange(m_activation, 0)) {
            lock.unlock();
            m_windows.activate(window);
            lock.lock();
            continue;
        }
        // Changes that come while the compositor answers are folded into one more read.
        m_pending = false;
        lock.unlock();
        const auto active = m_windows.activeWindow();
        publish(active ? active->id : 0, active ? active->pid : 0);
        lock.lock();
    }
}

} // namespace velquist
