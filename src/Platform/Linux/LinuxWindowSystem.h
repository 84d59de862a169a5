#pragma once

#include "Platform/WindowSystem.h"

#include <memory>
#include <mutex>
#include <string>

class QSocketNotifier;

namespace velquist {

class XcbConnection;

// Windows of an X desktop read over xcb with the window manager's EWMH properties: the client list
// (or, with no window manager, the root's mapped children), _NET_WM_PID, _NET_WM_NAME,
// _NET_WM_DESKTOP, _NET_WM_STATE and _NET_ACTIVE_WINDOW, whose changes (and the stacking's) are watched on a
// connection of their own. Queries share one connection under a lock, so any thread may ask.
class LinuxWindowSystem final : public WindowSystem
{
    Q_OBJECT

  public:
    // `display` as in DISPLAY; empty (no X server, or Wayland, whose windows X cannot see) makes
    // every facility report itself unavailable.
    explicit LinuxWindowSystem(std::string display, QObject* parent = nullptr);
    ~LinuxWindowSystem() override;

    // DISPLAY, unless the session is a Wayland one.
    static std::string displayFromEnvironment();

    bool canListWindows() const override;
    bool canActivateWindows() const override;
    bool canWatchActiveWindow() const override;
    std::optional<WindowInfo> activeWindow() const override;
    std::vector<WindowInfo> windowsOf(pid_t pid) const override;
    std::optional<WindowInfo> window(WindowId id) const override;
    std::vector<WindowInfo> shownWindows() const override;
    bool activate(WindowId id) override;

  private:
    bool hasWindowManager() const;
    std::optional<WindowId> activeWindowId() const;
    // Callers hold the lock.
    std::vector<std::uint32_t> stackedWindows() const;
    std::vector<std::uint32_t> ordinary(const std::vector<std::uint32_t>& windows) const;
    std::vector<WindowInfo> describe(const std::vector<std::uint32_t>& windows) const;
    void startWatching();
    void readWatchEvents();

    const std::string m_display;
    mutable std::mutex m_mutex;
    const std::unique_ptr<XcbConnection> m_queries;
    std::unique_ptr<XcbConnection> m_watch;
    QSocketNotifier* m_watchNotifier = nullptr;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_stackingAtom = 0;
};

} // namespace velquist
