#pragma once

#include "Platform/FocusReturn.h"
#include "Platform/FrontmostApplication.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <sys/types.h>

namespace velquist {

// The active window and its owner as an implementation's own thread last saw them: published
// there, read from any thread as plain loads, so no caller waits on the display server. Focus can
// be handed back wherever the active window can be told.
class FollowedActiveWindow : public FrontmostApplication, public FocusReturn
{
  public:
    std::optional<pid_t> frontmostPid() const final
    {
        const pid_t pid = m_pid.load();
        return pid > 0 ? std::optional(pid) : std::nullopt;
    }
    bool canReturnFocus() const final { return canTellFrontmost(); }
    std::optional<std::uint32_t> activeWindow() const final
    {
        const std::uint32_t window = m_window.load();
        return window ? std::optional(window) : std::nullopt;
    }

  protected:
    // What the following thread has just read; 0 for no window or no known owner.
    void publish(std::uint32_t window, pid_t pid)
    {
        m_pid = pid;
        m_window = window;
    }

  private:
    std::atomic<pid_t> m_pid{0};
    std::atomic<std::uint32_t> m_window{0};
};

} // namespace velquist
