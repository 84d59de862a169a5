#pragma once

#include "Platform/FrontmostApplication.h"

#include <atomic>
#include <string>
#include <thread>

struct xcb_connection_t;

namespace velquist {

// The owner of the active window (_NET_ACTIVE_WINDOW's _NET_WM_PID), followed by a thread of its
// own that listens for the window manager's changes of that property on its own connection, so a
// read is a plain load.
class X11FrontmostApplication final : public FrontmostApplication
{
  public:
    // `display` as in DISPLAY; empty means there is no X server (also under Wayland).
    explicit X11FrontmostApplication(std::string display);
    ~X11FrontmostApplication() override;
    X11FrontmostApplication(const X11FrontmostApplication&) = delete;
    X11FrontmostApplication& operator=(const X11FrontmostApplication&) = delete;

    bool canTellFrontmost() const override;
    std::optional<pid_t> frontmostPid() const override;

  private:
    void listen();
    void readActiveWindow();

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_pidAtom = 0;
    int m_wakeFd = -1;
    std::atomic<pid_t> m_pid{0};
    std::thread m_thread;
};

} // namespace velquist
