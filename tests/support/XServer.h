#pragma once

#include <string>
#include <sys/types.h>
#include <vector>
#include <xcb/xcb.h>

namespace velquist::test {

// A private X server (Xvfb), and windows made on it for other processes.
class XServer
{
  public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool isRunning() const { return m_connection && !xcb_connection_has_error(m_connection); }
    const std::string& display() const { return m_display; }

    xcb_window_t makeWindow(pid_t owner, const std::string& instance, const std::string& windowClass,
                            bool mapped, const char* type = nullptr);
    // What a window manager publishes: the windows it manages, mapped or not.
    void setClientList(const std::vector<xcb_window_t>& windows);
    // What a window manager publishes: the window that has the user's attention (0 for none).
    void setActiveWindow(xcb_window_t window);
    // Input from the user, as the server sees it, through xdotool; false when it cannot be sent.
    bool pressKey();
    xcb_atom_t atom(const char* name);
    // A round trip, so the server has seen every request before someone else asks.
    void sync();

  private:
    void start();
    void stop();

    pid_t m_pid = -1;
    std::string m_display;
    xcb_connection_t* m_connection = nullptr;
};

} // namespace velquist::test
