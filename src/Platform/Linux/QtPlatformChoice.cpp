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

bool QtPlatformChoice::sendsImagesOverTheConnection(const Environment& environment)
{
    return !environment("QT_XCB_NO_MITSHM");
}

void QtPlatformChoice::apply()
{
    const Environment environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value || !*value)
            return std::nullopt;
        return std::string(value);
    };
    if (const auto platform = platformFor(environment))
        ::setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
    if (sendsImagesOverTheConnection(environment))
        ::setenv("QT_XCB_NO_MITSHM", "1", 1);
}

} // namespace velquist
