#include "Platform/Linux/QtPlatformChoice.h"

#include <gtest/gtest.h>
#include <map>

using namespace velquist;

TEST(QtPlatformChoiceTest, WaylandSessionsRunOnTheirXDisplayUnlessThePlatformIsChosen)
{
    struct Case
    {
        const char* what;
        std::map<std::string, std::string> environment;
        std::optional<std::string> platform;
    };
    const Case cases[] = {
        {"X11 session", {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, std::nullopt},
        {"Wayland with XWayland", {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, "xcb"},
        {"Wayland session type only", {{"DISPLAY", ":1"}, {"XDG_SESSION_TYPE", "wayland"}}, "xcb"},
        {"Wayland without XWayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, std::nullopt},
        {"empty display", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "wayland-0"}}, std::nullopt},
        {"platform chosen by the user",
         {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "wayland"}},
         std::nullopt},
        {"no display at all", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto read = [&](const char* name) -> std::optional<std::string> {
            const auto found = c.environment.find(name);
            if (found == c.environment.end() || found->second.empty())
                return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(QtPlatformChoice::platformFor(read), c.platform) << c.what;
    }
}

TEST(QtPlatformChoiceTest, ImagesGoOverTheConnectionUnlessTheUserChose)
{
    const auto reading = [](std::optional<std::string> value) {
        return [value](const char* name) -> std::optional<std::string> {
            return std::string(name) == "QT_XCB_NO_MITSHM" ? value : std::nullopt;
        };
    };
    EXPECT_TRUE(QtPlatformChoice::sendsImagesOverTheConnection(reading(std::nullopt)));
    EXPECT_FALSE(QtPlatformChoice::sendsImagesOverTheConnection(reading("0")))
        << "the user's own value stays, whatever it is";
}
