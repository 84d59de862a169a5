#include "support/AppOnX.h"
#include "support/ChildProcess.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <QRect>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>
#include <xcb/xcb.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// One of the application's windows as the X server sees it.
struct AppWindow
{
    xcb_window_t id = 0;
    QRect frame;           // in root coordinates
    bool embedded = false; // reparented into another client (the tray)
    bool overrideRedirect = false;
    std::string name;
};

std::string property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr);
    if (!reply)
        return {};
    std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                      std::size_t(xcb_get_property_value_length(reply)));
    std::free(reply);
    return value;
}

// The viewable windows whose WM_CLASS names the application, anywhere in the tree.
std::vector<AppWindow> appWindows(const test::XServer& x)
{
    xcb_connection_t* c = x.connection();
    const xcb_atom_t utf8 = x.atom("UTF8_STRING");
    const xcb_atom_t netName = x.atom("_NET_WM_NAME");
    std::vector<AppWindow> found;
    std::vector<std::pair<xcb_window_t, xcb_window_t>> pending{{x.root(), XCB_NONE}};
    while (!pending.empty()) {
        const auto [window, parent] = pending.back();
        pending.pop_back();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree)
            continue;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int index = 0; index < xcb_query_tree_children_length(tree); ++index)
            pending.emplace_back(children[index], window);
        std::free(tree);
        if (window == x.root())
            continue;
        std::string windowClass = property(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        for (char& ch : windowClass)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        if (windowClass.find("velquist") == std::string::npos)
            continue;
        auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        auto* position =
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, x.root(), 0, 0), nullptr);
        if (attributes && geometry && position && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            AppWindow entry;
            entry.id = window;
            entry.frame = QRect(position->dst_x, position->dst_y, geometry->width, geometry->height);
            entry.overrideRedirect = attributes->override_redirect;
            entry.name = property(c, window, netName, utf8);
            found.push_back(entry);
            // The tray embeds its icons: their parent is one of its own windows, not the root
            // or a frame of the window manager (whose WM_CLASS is not ours either, so look at it).
            found.back().embedded =
                parent != x.root() &&
                property(c, parent, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).find("penbox") == std::string::npos &&
                geometry->width <= 64 && geometry->height <= 64;
        }
        std::free(attributes);
        std::free(geometry);
        std::free(position);
    }
    return found;
}

std::optional<AppWindow> findWindow(const test::XServer& x,
                                    const std::function<bool(const AppWindow&)>& matches)
{
    for (const AppWindow& window : appWindows(x)) {
        if (matches(window))
            return window;
    }
    return std::nullopt;
}

std::optional<AppWindow> waitForWindow(const test::XServer& x,
                                       const std::function<bool(const AppWindow&)>& matches)
{
    std::optional<AppWindow> window;
    test::waitUntil([&] { return (window = findWindow(x, matches)).has_value(); }, 20s);
    return window;
}

bool isMenu(const AppWindow& window)
{
    // The panel also bypasses the window manager; it hangs from the very top of the screen.
    return window.overrideRedirect && window.frame.height() > 100 && window.frame.top() > 0;
}

bool isSettings(const AppWindow& window)
{
    return window.name == "Settings";
}

xcb_window_t activeWindow(const test::XServer& x)
{
    const std::string value =
        property(x.connection(), x.root(), x.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return value.size() == 4 ? *reinterpret_cast<const xcb_window_t*>(value.data()) : XCB_NONE;
}

// The application under test on the private X server, in its own home.
class VelquistOnX : public test::AppOnX
{
  public:
    VelquistOnX(const test::XServer& x, const std::filesystem::path& home)
        : AppOnX(VELQUIST_APP_PATH, x, home)
    {
    }
};

bool hasTrayManager(const test::XServer& x)
{
    xcb_connection_t* c = x.connection();
    auto* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, x.atom("_NET_SYSTEM_TRAY_S0")), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

bool key(const test::XServer& x, const std::string& name)
{
    return x.run({"/usr/bin/xdotool", "key", "--clearmodifiers", name}) == 0;
}

// How many pixels of `area` on the screen are near black and how many near white.
std::pair<int, int> inkCounts(const test::XServer& x, const QRect& area)
{
    xcb_connection_t* c = x.connection();
    auto* image = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), std::int16_t(area.x()), std::int16_t(area.y()),
                      std::uint16_t(area.width()), std::uint16_t(area.height()), ~0u),
        nullptr);
    std::pair<int, int> counts{0, 0};
    if (!image)
        return counts;
    const std::uint8_t* data = xcb_get_image_data(image);
    const int length = xcb_get_image_data_length(image);
    // A 24-bit screen sends four bytes a pixel: blue, green, red, padding.
    for (int at = 0; at + 3 < length; at += 4) {
        const int light = (data[at] + data[at + 1] + data[at + 2]) / 3;
        counts.first += light < 0x50;
        counts.second += light > 0xf0;
    }
    std::free(image);
    return counts;
}

} // namespace

TEST(StatusItemX11Test, TheTrayIconTakesTheInkThatShowsOnItsTray)
{
    if (::access("/usr/bin/trayer", X_OK) != 0)
        GTEST_SKIP() << "no trayer";
    struct Case
    {
        const char* name;
        std::vector<std::string> trayArguments;
        bool darkInk;
    };
    // Trayer's own background is a light grey (#dcdad5); tinted, it is a dark panel's.
    const Case cases[] = {
        {"light tray", {}, true},
        {"dark tray", {"--transparent", "true", "--alpha", "0", "--tint", "0x202020"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::XServer x;
        test::TemporaryFolder home;
        if (!x.isRunning() || !x.startWindowManager(home.path()))
            GTEST_SKIP() << "no Xvfb or openbox";
        std::vector<std::string> trayer{"/usr/bin/trayer", "--edge",   "top",     "--align", "right",
                                        "--widthtype",     "pixel",    "--width", "120",     "--heighttype",
                                        "pixel",           "--height", "28"};
        trayer.insert(trayer.end(), c.trayArguments.begin(), c.trayArguments.end());
        const test::ChildProcess tray(trayer, x.display());
        ASSERT_TRUE(test::waitUntil([&] { return hasTrayManager(x); }, 20s));
        std::filesystem::create_directories(home.path() / ".config/Velquist");
        std::ofstream(home.path() / ".config/Velquist/defaults.json") << R"({"IntroMoviePlayed": true})";
        VelquistOnX app(x, home.path());
        const auto icon = waitForWindow(x, [](const AppWindow& window) { return window.embedded; });
        ASSERT_TRUE(icon.has_value()) << app.errors();
        // The icon first comes up for a dark tray; it changes once the tray has painted around it.
        std::pair<int, int> ink;
        EXPECT_TRUE(test::waitUntil(
            [&] {
                ink = inkCounts(x, icon->frame);
                return c.darkInk ? ink.first > 40 && ink.second == 0 : ink.second > 40;
            },
            20s))
            << "near black " << ink.first << ", near white " << ink.second;
    }
}

TEST(StatusItemX11Test, TheTrayIconOpensItsMenuAndChoosesSettings)
{
    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    if (::access("/usr/bin/trayer", X_OK) != 0 || ::access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "no trayer or xdotool";
    const test::ChildProcess tray({"/usr/bin/trayer", "--edge", "top", "--align", "right", "--widthtype",
                                   "pixel", "--width", "120", "--heighttype", "pixel", "--height", "28"},
                                  x.display());
    ASSERT_TRUE(test::waitUntil([&] { return hasTrayManager(x); }, 20s))
        << "the tray host took the tray selection";

    // The first-run tour would hold the panel open over the desktop; it is not what this is about.
    std::filesystem::create_directories(home.path() / ".config/Velquist");
    std::ofstream(home.path() / ".config/Velquist/defaults.json") << R"({"IntroMoviePlayed": true})";
    VelquistOnX app(x, home.path());
    const auto icon = waitForWindow(x, [](const AppWindow& window) { return window.embedded; });
    ASSERT_TRUE(icon.has_value()) << "the status item shows in the tray\n" << app.errors();

    const QPoint centre = icon->frame.center();
    ASSERT_EQ(x.run({"/usr/bin/xdotool", "mousemove", std::to_string(centre.x()), std::to_string(centre.y()),
                     "click", "1"}),
              0);
    ASSERT_TRUE(waitForWindow(x, isMenu).has_value()) << "a click opens the menu";

    // From the bottom of the menu: "Quit Velquist", then "Settings…".
    ASSERT_TRUE(key(x, "Up") && key(x, "Up") && key(x, "Return"));
    const auto settings = waitForWindow(x, isSettings);
    ASSERT_TRUE(settings.has_value()) << "Settings… opens the settings window";
    EXPECT_TRUE(test::waitUntil([&] { return !findWindow(x, isMenu); }, 10s)) << "the menu closes";

    // A modal alert from the menu comes up in front of the settings window and takes the focus.
    // The first click may only give the tray back its focus from the settings window: click until
    // the menu is up.
    ASSERT_TRUE(test::waitUntil(
        [&] {
            x.run({"/usr/bin/xdotool", "mousemove", std::to_string(centre.x()), std::to_string(centre.y()),
                   "click", "1"});
            return test::waitUntil([&] { return findWindow(x, isMenu).has_value(); }, 3s);
        },
        20s));
    for (int step = 0; step < 5; ++step)
        ASSERT_TRUE(key(x, "Up")); // Quit, Settings, Privacy Mode, Replay Intro, Grant Accessibility Access
    ASSERT_TRUE(key(x, "Return"));
    const auto isAlert = [](const AppWindow& window) {
        return window.name == "Velquist" && !window.embedded && !window.overrideRedirect;
    };
    const auto alert = waitForWindow(x, isAlert);
    ASSERT_TRUE(alert.has_value()) << "the alert shows";
    EXPECT_TRUE(test::waitUntil([&] { return activeWindow(x) == alert->id; }, 10s))
        << "the alert has the focus";
    ASSERT_TRUE(key(x, "Return"));
    EXPECT_TRUE(test::waitUntil([&] { return !findWindow(x, isAlert); }, 10s)) << "Return answers it";
    EXPECT_EQ(app.process().state(), QProcess::Running);
}

TEST(StatusItemX11Test, WithoutATrayAnotherLaunchOpensTheSettingsWindow)
{
    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    ASSERT_FALSE(hasTrayManager(x));

    VelquistOnX first(x, home.path());
#ifndef NDEBUG
    // Debug builds echo the system log to standard error.
    ASSERT_TRUE(test::waitUntil(
        [&] { return first.errors().find("no system tray is available") != std::string::npos; }, 20s))
        << first.errors();
    EXPECT_FALSE(findWindow(x, isSettings)) << "nothing opens by itself";
#endif

    // The second copy must find the first one holding the lock (taken before the hook socket
    // exists); before that it would become the first itself.
    ASSERT_TRUE(test::waitUntil(
        [&] { return std::filesystem::exists(home.path() / ".local/share/Velquist/notch.sock"); }, 20s));
    VelquistOnX second(x, home.path());
    ASSERT_TRUE(second.process().waitForFinished(20'000));
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_TRUE(waitForWindow(x, isSettings).has_value()) << first.errors();
    EXPECT_EQ(first.process().state(), QProcess::Running);
}

TEST(StatusItemX11Test, TheSettingsWindowComesBackWhereTheUserLeftIt)
{
    test::XServer x("1280x800x24");
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    if (::access("/usr/bin/xdotool", X_OK) != 0 || ::access("/usr/bin/wmctrl", X_OK) != 0)
        GTEST_SKIP() << "no xdotool or wmctrl";
    std::filesystem::create_directories(home.path() / ".config/Velquist");
    std::ofstream(home.path() / ".config/Velquist/defaults.json") << R"({"IntroMoviePlayed": true})";
    VelquistOnX app(x, home.path());
    ASSERT_TRUE(test::waitUntil(
        [&] { return std::filesystem::exists(home.path() / ".local/share/Velquist/notch.sock"); }, 20s));
    // Without a tray, another launch is how the user opens the settings.
    const auto open = [&] {
        VelquistOnX again(x, home.path());
        again.process().waitForFinished(20'000);
        return waitForWindow(x, isSettings);
    };
    const auto first = open();
    ASSERT_TRUE(first.has_value()) << app.errors();

    const std::string id = std::to_string(first->id);
    ASSERT_EQ(x.run({"/usr/bin/wmctrl", "-i", "-r", id, "-e", "0,60,90,-1,-1"}), 0);
    std::optional<AppWindow> moved;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return (moved = findWindow(x, isSettings)) && moved->frame.topLeft() != first->frame.topLeft();
        },
        10s));
    ASSERT_EQ(x.run({"/usr/bin/wmctrl", "-i", "-c", id}), 0);
    ASSERT_TRUE(test::waitUntil([&] { return !findWindow(x, isSettings); }, 10s)) << "closing hides it";

    const auto again = open();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->id, first->id) << "the same window, shown again";
    EXPECT_EQ(again->frame.topLeft(), moved->frame.topLeft()) << "where the user left it";
}
