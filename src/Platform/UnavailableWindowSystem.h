#pragma once

#include "Platform/WindowSystem.h"

namespace velquist {

// For a desktop whose windows cannot be seen (no X server, Wayland): says so and knows nothing.
class UnavailableWindowSystem final : public WindowSystem
{
  public:
    using WindowSystem::WindowSystem;

    bool canListWindows() const override { return false; }
    bool canActivateWindows() const override { return false; }
    bool canWatchActiveWindow() const override { return false; }
    std::optional<WindowInfo> activeWindow() const override { return std::nullopt; }
    std::vector<WindowInfo> windowsOf(pid_t) const override { return {}; }
    std::optional<WindowInfo> window(WindowId) const override { return std::nullopt; }
    std::vector<WindowInfo> shownWindows() const override { return {}; }
    bool activate(WindowId) override { return false; }
};

} // namespace velquist
