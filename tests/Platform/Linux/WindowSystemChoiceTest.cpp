#include "Platform/Linux/WindowSystemChoice.h"

#include <gtest/gtest.h>
#include <map>

using namespace velquist;
using Kind = WindowSystemChoice::Kind;

TEST(WindowSystemChoiceTest, TheSessionsOwnInterfaceIsChosenAndAnyOtherWaylandDesktopNamed)
{
    struct Case
    {
        const char* what;
        std::map<std::string, std::string> environment;
        Kind kind;
        std::string desktop;
    };
    const Case cases[] = {
        {"X11 session",
         {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}, {"XDG_CURRENT_DESKTOP", "XFCE"}},
         Kind::x11,
         "XFCE"},
        {"sway",
         {{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}, {"DISPLAY", ":0"}},
         Kind::sway,
         ""},
        {"a SWAYSOCK left over in an X11 session",
         {{"DISPLAY", ":0"}, {"SWAYSOCK", "/tmp/old.sock"}},
         Kind::x11,
         ""},
        {"Hyprland",
         {{"WAYLAND_DISPLAY", "wayland-1"}, {"HYPRLAND_INSTANCE_SIGNATURE", "abc_123"}},
         Kind::hyprland,
         ""},
        {"KDE Plasma on Wayland",
         {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_CURRENT_DESKTOP", "KDE"}, {"DISPLAY", ":1"}},
         Kind::kwin,
         "KDE Plasma"},
        {"GNOME on Wayland",
         {{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}, {"DISPLAY", ":0"}},
         Kind::none,
         "GNOME"},
        {"no display at all", {}, Kind::none, ""},
    };
    for (const Case& c : cases) {
        const auto read = [&](const char* name) -> std::optional<std::string> {
            const auto found = c.environment.find(name);
            if (found == c.environment.end() || found->second.empty())
                return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(WindowSystemChoice::kindFor(read), c.kind) << c.what;
        EXPECT_EQ(WindowSystemChoice::desktopName(read), c.desktop) << c.what;
    }
}
