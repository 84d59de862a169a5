#pragma once

#include <functional>
#include <optional>
#include <string>

namespace velquist {

// Which Qt platform the application asks for. A panel must sit at the top edge of each screen and
// let clicks through outside its outline, which a Wayland client cannot ask for; an X11 client of
// the session's XWayland server can. So under Wayland, when an X display is there and the user has
// not chosen a platform, the application runs on X11.
class QtPlatformChoice
{
  public:
    // Reads one environment variable; empty or unset reads as no value.
    using Environment = std::function<std::optional<std::string>(const char* name)>;

    // The platform to set before the application object exists, or nothing to leave Qt's own choice.
    static std::optional<std::string> platformFor(const Environment& environment);
    // Whether Qt is told to send its X11 images over the connection rather than through shared
    // memory (QT_XCB_NO_MITSHM), unless the user set that himself. With shared memory Qt waits for
    // the X server, a round trip that wakes both, before each paint over a region it has just
    // sent. At rest the panel repaints the same small rectangles several times a second (the
    // character, a spinner, a breathing card), where sending their few pixels costs far less.
    static bool sendsImagesOverTheConnection(const Environment& environment);
    // Both choices for this process's environment, applied to it.
    static void apply();
};

} // namespace velquist
