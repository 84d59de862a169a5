#pragma once

#include <QObject>
#include <QRect>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velquist {

// A top-level window as the server names it; stable for the window's life, never 0.
using WindowId = std::uint32_t;

// What the window system tells of one top-level window.
struct WindowInfo
{
    WindowId id = 0;
    // The process that says it owns the window; 0 when the window does not say.
    pid_t pid = 0;
    // Valid UTF-8 of at most `WindowSystem::maxTitleBytes`; absent when unset, unreadable or not UTF-8.
    std::optional<std::string> title;
    // The class its owner gave it: instance and class name (either may be empty).
    std::string instance;
    std::string windowClass;
    // The virtual desktop it is on (`WindowSystem::allDesktops` when on all); absent when unknown.
    std::optional<std::uint32_t> desktop;
    // Position and size on the desktop, in the server's pixels.
    QRect frame;
    bool isFullScreen = false;

    bool operator==(const WindowInfo&) const = default;
};

// The desktop's top-level windows: which one is active, which belong to a process, bringing one to
// the front. Queries are safe from any thread. The window queries and `activate` may wait on the
// server or compositor until its time-out (a stalled compositor: seconds), so the main thread never
// asks them itself: callers ask on a worker. The signals come on the thread that made the object.
class WindowSystem : public QObject
{
    Q_OBJECT

  public:
    static constexpr std::size_t maxTitleBytes = 1024;
    static constexpr std::uint32_t allDesktops = 0xFFFFFFFFu;

    using QObject::QObject;
    ~WindowSystem() override = default;

    // Whether windows and their owners can be read at all (an X server is reachable).
    virtual bool canListWindows() const = 0;
    // Whether a window manager is there to say which window is active and to activate others.
    virtual bool canActivateWindows() const = 0;
    // Whether `activeWindowChanged` is ever emitted.
    virtual bool canWatchActiveWindow() const = 0;

    // The window that has the focus; none when nothing has it or it cannot be told.
    virtual std::optional<WindowInfo> activeWindow() const = 0;
    // The ordinary top-level windows of `pid` (no docks or desktops), front-most first; minimised
    // windows count when a window manager lists them.
    virtual std::vector<WindowInfo> windowsOf(pid_t pid) const = 0;
    // What is known of one window now; none when it has gone.
    virtual std::optional<WindowInfo> window(WindowId id) const = 0;
    // The ordinary top-level windows on screen now (on the current desktop, not minimised; no docks
    // or desktops), front-most first; empty when they cannot be told.
    virtual std::vector<WindowInfo> shownWindows() const = 0;
    // Asks the window manager to raise and focus the window (switching desktop if it must). True
    // when the request was delivered; whether it was granted shows in `activeWindow()` afterwards.
    virtual bool activate(WindowId id) = 0;
    // The desktop ("GNOME") whose compositor keeps other applications' windows out of reach, when
    // that is why windows cannot be listed; empty otherwise.
    virtual std::string unreachableDesktop() const { return {}; }
    // The application is quitting: a query waiting on the desktop ends now, with nothing, and so
    // does every later one. Any thread.
    virtual void abandonQueries() {}

  Q_SIGNALS:
    // The active window changed (another window, or none).
    void activeWindowChanged();
    // A window was mapped, unmapped, raised or lowered.
    void stackingChanged();
};

} // namespace velquist
