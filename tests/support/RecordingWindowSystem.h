#pragma once

#include "Platform/WindowSystem.h"

#include <algorithm>
#include <mutex>

namespace velquist::test {

// A desktop of the test's windows. Activating a window makes it the active one and the front-most
// of its owner's (unless the test says the window manager refuses), and emits the change signal as
// a window manager would. Notes every activation asked for.
class RecordingWindowSystem final : public WindowSystem
{
  public:
    // An ordinary window of `pid` on the first desktop.
    static WindowInfo makeWindow(WindowId id, pid_t pid, std::optional<std::string> title)
    {
        return {id, pid, std::move(title), "t", "T", 0, {}, false};
    }

    // Front-most first.
    void setWindows(std::vector<WindowInfo> windows)
    {
        std::lock_guard lock(m_mutex);
        m_windows = std::move(windows);
    }
    void setActive(std::optional<WindowId> id)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_active == id)
                return;
            m_active = id;
        }
        Q_EMIT activeWindowChanged();
    }
    void setAvailable(bool list, bool activate, bool watch)
    {
        m_canList = list;
        m_canActivate = activate;
        m_canWatch = watch;
    }
    void setActivationGranted(bool granted) { m_granted = granted; }
    std::vector<WindowId> activated() const
    {
        std::lock_guard lock(m_mutex);
        return m_activated;
    }

    bool canListWindows() const override { return m_canList; }
    bool canActivateWindows() const override { return m_canActivate; }
    bool canWatchActiveWindow() const override { return m_canWatch; }
    std::optional<WindowInfo> activeWindow() const override
    {
        std::lock_guard lock(m_mutex);
        return m_active ? find(*m_active) : std::nullopt;
    }
    std::vector<WindowInfo> windowsOf(pid_t pid) const override
    {
        std::lock_guard lock(m_mutex);
        std::vector<WindowInfo> result;
        for (const auto& window : m_windows) {
            if (pid > 0 && window.pid == pid)
                result.push_back(window);
        }
        return result;
    }
    std::optional<WindowInfo> window(WindowId id) const override
    {
        std::lock_guard lock(m_mutex);
        return find(id);
    }
    // Every window the test set, in its order: the test leaves out what is not on screen.
    std::vector<WindowInfo> shownWindows() const override
    {
        std::lock_guard lock(m_mutex);
        return m_windows;
    }
    // Windows changed their stacking, as a window manager would announce.
    void restack(std::vector<WindowInfo> windows)
    {
        setWindows(std::move(windows));
        Q_EMIT stackingChanged();
    }
    bool activate(WindowId id) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_activated.push_back(id);
            if (!m_canActivate || !find(id))
                return false;
            if (!m_granted)
                return true;
            const auto at = std::find_if(m_windows.begin(), m_windows.end(),
                                         [id](const WindowInfo& window) { return window.id == id; });
            std::rotate(m_windows.begin(), at, at + 1);
        }
        setActive(id);
        return true;
    }

  private:
    std::optional<WindowInfo> find(WindowId id) const
    {
        for (const auto& window : m_windows) {
            if (window.id == id)
                return window;
        }
        return std::nullopt;
    }

    mutable std::mutex m_mutex;
    std::vector<WindowInfo> m_windows;
    std::optional<WindowId> m_active;
    std::vector<WindowId> m_activated;
    bool m_canList = true;
    bool m_canActivate = true;
    bool m_canWatch = true;
    bool m_granted = true;
};

} // namespace velquist::test
