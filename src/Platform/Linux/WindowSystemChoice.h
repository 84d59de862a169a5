#pragma once

#include "Platform/WindowSystem.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velquist {

// Which window system the session offers. An X11 session is read over X; a Wayland compositor that
// lets a client list and activate windows is asked through its own interface (sway's i3-style IPC,
// Hyprland's sockets, KWin's scripting), which covers its XWayland windows too. Any other Wayland
// desktop leaves windows out of reach, and is named so the user can be told why.
class WindowSystemChoice
{
  public:
    // Reads one environment variable; empty or unset reads as no value.
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    enum class Kind { x11, sway, hyprland, kwin, none };

    // What the environment points at, before anything is probed.
    static Kind kindFor(const Environment& environment);
    // The desktop of a Wayland session as the user knows it ("GNOME", "KDE Plasma", ...), from
    // XDG_CURRENT_DESKTOP; empty when it does not say.
    static std::string desktopName(const Environment& environment);

    // The window system of this process's session; `display` is the X display to use on X11
    // (empty under Wayland). Never null: an unavailable one when nothing answers.
    static std::unique_ptr<WindowSystem> create(const std::string& display);
};

} // namespace velquist
