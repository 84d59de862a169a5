#pragma once

#include "Platform/Linux/FollowedActiveWindow.h"

#include <string>
#include <thread>

struct xcb_connection_t;

namespace velquist {

// The active window (_NET_ACTIVE_WINDOW) and its owner (_NET_WM_PID), followed by a thread of its
// own that listens for the window manager's changes of that property on its own connection, so a
// read is a plain load. Focus goes back by the window manager's activation request.
class X11FrontmostApplication final : public FollowedActiveWindow
{
  public:
    // `display` as in DISPLAY; empty means there is no X server (also under Wayland).
    explicit X11FrontmostApplication(std::string display);
    ~X11FrontmostApplication() override;
    X11FrontmostApplication(const X11FrontmostApplication&) = delete;
    X11FrontmostApplication& operator=(const X11FrontmostApplication&) = delete;

    bool canTellFrontmost() const override;
    void activate(std::uint32_t window) override;

  private:
    void listen();
    void readActiveWindow();

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_pidAtom = 0;
    int m_wakeFd = -1;
    std::thread m_thread;
};

} // namespace velquist
