#pragma once

#include <QProcessEnvironment>
#include <filesystem>
#include <string>

namespace velquist::test {

// The environment of the real application started by a test: the test's temporary HOME, never this
// process's. With a display it runs there on X11, away from any desktop bus or Wayland session of
// the machine; without one it runs offscreen.
inline QProcessEnvironment appEnvironment(const std::filesystem::path& home, const std::string& display = {})
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(home.string()));
    if (display.empty()) {
        // Nothing of the machine's desktop either: with a display in reach the desktop bus library
        // would start a bus of its own for the application.
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DBUS_SESSION_BUS_ADDRESS"})
            environment.remove(name);
        return environment;
    }
    environment.insert("DISPLAY", QString::fromStdString(display));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XDG_SESSION_TYPE");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    // The X platform loads the desktop bus library, which keeps an allocation until exit.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    return environment;
}

} // namespace velquist::test
