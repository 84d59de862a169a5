#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

struct xcb_connection_t;

namespace velquist {

// A top-level window and the class its owner gave it (WM_CLASS: instance and class).
struct ClientWindow
{
    std::string instance;
    std::string windowClass;
};

// The top-level windows of processes, read over xcb from _NET_WM_PID: the window manager's client
// list when it keeps one, else the mapped children of the root. xcb rather than Xlib because
// Xlib's default error handler ends the process when a window goes away during a query. Not
// thread-safe: its owner serialises calls.
class X11ClientWindows
{
  public:
    // `display` as in DISPLAY; empty means there is no X server to ask.
    explicit X11ClientWindows(std::string display);
    ~X11ClientWindows();
    X11ClientWindows(const X11ClientWindows&) = delete;
    X11ClientWindows& operator=(const X11ClientWindows&) = delete;

    // Whether the X server can be reached; connects (again) when needed.
    bool isAvailable();
    // The first ordinary top-level window of `pid` (docks and desktops do not count), or none.
    std::optional<ClientWindow> windowOf(pid_t pid);

  private:
    bool connect();
    void disconnect();

    const std::string m_display;
    xcb_connection_t* m_connection = nullptr;
    unsigned m_pidAtom = 0;
    unsigned m_clientListAtom = 0;
    unsigned m_windowTypeAtom = 0;
    unsigned m_dockAtom = 0;
    unsigned m_desktopAtom = 0;
};

} // namespace velquist
