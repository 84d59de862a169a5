#pragma once

#include <optional>
#include <sys/types.h>

namespace velquist {

// The process whose window has the user's attention, followed from the window manager's changes
// so that reads never wait.
class FrontmostApplication
{
  public:
    virtual ~FrontmostApplication() = default;
    // Whether the active window can be seen at all (not on Wayland, not without a display).
    virtual bool canTellFrontmost() const = 0;
    // The pid owning the active window as last seen; none when unknown or when no window is active.
    virtual std::optional<pid_t> frontmostPid() const = 0;
};

// For where the active window cannot be seen: no application is ever in front.
class NoFrontmostApplication final : public FrontmostApplication
{
  public:
    bool canTellFrontmost() const override { return false; }
    std::optional<pid_t> frontmostPid() const override { return std::nullopt; }
};

} // namespace velquist
