#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>
#include <xcb/xcb.h>

namespace velquist::test {

// A private X server (Xvfb) for one test, optionally with a window manager (openbox), and windows
// made on it for other processes. Tests skip when Xvfb is not installed.
class XServer
{
  public:
    // `screen` as Xvfb takes it: width x height x depth.
    explicit XServer(std::string screen = "640x480x24");
    // One X screen for each entry, numbered in order (":N.0", ":N.1", ...).
    explicit XServer(std::vector<std::string> screens);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool isRunning() const;
    const std::string& display() const { return m_display; }
    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const;

    // Starts openbox with `home` as its HOME and waits until it manages the screen.
    bool startWindowManager(const std::filesystem::path& home);
    // Runs a tool against this display (argv only) and returns its exit status, -1 when it could
    // not run.
    int run(const std::vector<std::string>& argv) const;

    // A top-level window that says `owner` owns it; `type` is a _NET_WM_WINDOW_TYPE_* name.
    xcb_window_t makeWindow(pid_t owner, const std::string& instance, const std::string& windowClass,
                            bool mapped, const char* type = nullptr);
    void setProperty(xcb_window_t window, const std::string& name, const std::string& type,
                     const std::string& bytes);
    // What a window manager publishes: the windows it manages, mapped or not.
    void setClientList(const std::vector<xcb_window_t>& windows);
    // What a window manager publishes: the window that has the user's attention (0 for none).
    void setActiveWindow(xcb_window_t window);
    // Input from the user, as the server sees it, through xdotool; false when it cannot be sent.
    bool pressKey() const;
    xcb_atom_t atom(const std::string& name) const;
    // A round trip, so the server has seen every request before someone else asks.
    void sync() const;

  private:
    void start();
    void stop();

    const std::vector<std::string> m_screens;
    pid_t m_pid = -1;
    pid_t m_windowManager = -1;
    std::string m_display;
    xcb_connection_t* m_connection = nullptr;
};

} // namespace velquist::test
