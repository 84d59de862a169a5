#include "Platform/Linux/WindowSystemChoice.h"

#include "Platform/Linux/HyprlandWindowSystem.h"
#include "Platform/Linux/KWinWindowSystem.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Platform/Linux/SwayWindowSystem.h"
#include "Platform/UnavailableWindowSystem.h"
#include "Shared/Log.h"
#include "Shared/TextSplit.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace velquist {

namespace {

// Whether a colon-separated list such as XDG_CURRENT_DESKTOP names `part`.
bool hasPart(const std::string& list, std::string_view part)
{
    const std::vector<std::string_view> parts = splitNonEmpty(list, ':');
    return std::find(parts.begin(), parts.end(), part) != parts.end();
}

} // namespace

WindowSystemChoice::Kind WindowSystemChoice::kindFor(const Environment& environment)
{
    const auto sessionType = environment("XDG_SESSION_TYPE");
    const bool wayland = (sessionType && *sessionType == "wayland") || environment("WAYLAND_DISPLAY");
    if (environment("SWAYSOCK") && wayland)
        return Kind::sway;
    if (environment("HYPRLAND_INSTANCE_SIGNATURE") && wayland)
        return Kind::hyprland;
    if (wayland) {
        const auto desktop = environment("XDG_CURRENT_DESKTOP").value_or("");
        return hasPart(desktop, "KDE") ? Kind::kwin : Kind::none;
    }
    return environment("DISPLAY") ? Kind::x11 : Kind::none;
}

std::string WindowSystemChoice::desktopName(const Environment& environment)
{
    const auto desktop = environment("XDG_CURRENT_DESKTOP").value_or("");
    if (hasPart(desktop, "GNOME"))
        return "GNOME";
    if (hasPart(desktop, "KDE"))
        return "KDE Plasma";
    const auto first = desktop.substr(0, desktop.find(':'));
    return first;
}

std::unique_ptr<WindowSystem> WindowSystemChoice::create(const std::string& display)
{
    const Environment environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value && *value ? std::optional<std::string>(value) : std::nullopt;
    };
    switch (kindFor(environment)) {
    case Kind::x11:
        if (!display.empty())
            return std::make_unique<LinuxWindowSystem>(display);
        break;
    case Kind::sway:
        if (auto path = SwayWindowSystem::socketFromEnvironment(); !path.empty())
            return std::make_unique<SwayWindowSystem>(std::move(path));
        break;
    case Kind::hyprland:
        if (auto folder = HyprlandWindowSystem::socketFolderFromEnvironment(); !folder.empty())
            return std::make_unique<HyprlandWindowSystem>(std::move(folder));
        break;
    case Kind::kwin:
        if (auto kwin = KWinWindowSystem::create())
            return kwin;
        break;
    case Kind::none:
        break;
    }
    Log::debug("windows", "the session offers no way to list and activate windows");
    return std::make_unique<UnavailableWindowSystem>(desktopName(environment));
}

} // namespace velquist
