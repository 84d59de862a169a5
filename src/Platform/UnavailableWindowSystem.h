#pragma once

#include "Platform/WindowSystem.h"

#include <string>

namespace velquist {

// For a desktop whose windows cannot be seen (no X server, Wayland): says so and knows nothing.
class UnavailableWindowSystem final : public WindowSystem
{
  public:
    // `desktop` names a desktop whose compositor offers no way to other windows, when that is why.
    explicit UnavailableWindowSystem(std::string desktop = {}, QObject* parent = nullptr)
        : WindowSystem(parent), m_desktop(std::move(desktop))
    {
    }

    bool canListWindows() const override { return false; }
    bool canActivateWindows() const override { return false; }
    bool canWatchActiveWindow() const override { return false; }
    std::optional<WindowInfo> activeWindow() const override { return std::nullopt; }
    std::vector<WindowInfo> windowsOf(pid_t) const override { return {}; }
    std::optional<WindowInfo> window(WindowId) const override { return std::nullopt; }
    std::vector<WindowInfo> shownWindows() const override { return {}; }
    bool activate(WindowId) override { return false; }
    std::string unreachableDesktop() const override { return m_desktop; }

  private:
    const std::string m_desktop;
};

} // namespace velquist
