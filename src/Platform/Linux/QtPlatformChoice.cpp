#include "Platform/Linux/QtPlatformChoice.h"

#include <cstdlib>

namespace velquist {

std::optional<std::string> QtPlatformChoice::platformFor(const Environment& environment)
{
    if (environment("QT_QPA_PLATFORM"))
        return std::nullopt;
    const auto sessionType = environment("XDG_SESSION_TYPE");
    const bool wayland = environment("WAYLAND_DISPLAY") || (sessionType && *sessionType == "wayland");
    if (wayland && environment("DISPLAY"))
        return "xcb";
    return std::nullopt;
}

void QtPlatformChoice::apply()
{
    const auto platform = platformFor([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value || !*value)
            return std::nullopt;
        return std::string(value);
    });
    if (platform)
        ::setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
}

} // namespace velquist
