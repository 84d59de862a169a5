#include "Platform/Linux/LinuxWindowSystem.h"
#include "Platform/UnavailableWindowSystem.h"

#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using namespace velquist;

namespace {

std::optional<WindowInfo> infoOf(const std::vector<WindowInfo>& windows, WindowId id)
{
    for (const auto& window : windows) {
        if (window.id == id)
            return window;
    }
    return std::nullopt;
}

std::vector<WindowId> idsOf(const std::vector<WindowInfo>& windows)
{
    std::vector<WindowId> ids;
    for (const auto& window : windows)
        ids.push_back(window.id);
    return ids;
}

} // namespace

TEST(LinuxWindowSystemTest, WithoutAServerEveryFacilityIsUnavailable)
{
    // No display at all, a display nobody serves, and the stand-in for Wayland.
    std::vector<std::unique_ptr<WindowSystem>> systems;
    systems.push_back(std::make_unique<LinuxWindowSystem>(""));
    systems.push_back(std::make_unique<LinuxWindowSystem>(":9731"));
    systems.push_back(std::make_unique<UnavailableWindowSystem>());
    for (const auto& system : systems) {
        EXPECT_FALSE(system->canListWindows());
        EXPECT_FALSE(system->canActivateWindows());
        EXPECT_FALSE(system->canWatchActiveWindow());
        EXPECT_EQ(system->activeWindow(), std::nullopt);
        EXPECT_TRUE(system->windowsOf(::getpid()).empty());
        EXPECT_EQ(system->window(1), std::nullopt);
        EXPECT_FALSE(system->activate(1));
    }
}

TEST(LinuxWindowSystemTest, WindowsOfAProcessCarryTheirTitleClassAndGeometry)
{
    test::XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    LinuxWindowSystem windows(x.display());
    EXPECT_TRUE(windows.canListWindows());
    // Nobody manages the screen: nothing is active and nothing can be activated.
    EXPECT_FALSE(windows.canActivateWindows());
    EXPECT_EQ(windows.activeWindow(), std::nullopt);

    const pid_t owner = 4242;
    const std::string longTitle = std::string(WindowSystem::maxTitleBytes - 1, 'a') + "\xC3\xA9" + "tail";
    struct Case
    {
        const char* what;
        std::string property;
        std::string type;
        std::string bytes;
        std::optional<std::string> title;
    };
    const Case cases[] = {
        {"utf-8 name", "_NET_WM_NAME", "UTF8_STRING", "~/proj \xE2\x9C\xB3 claude",
         "~/proj \xE2\x9C\xB3 claude"},
        {"latin-1 fallback", "WM_NAME", "STRING", "caf\xE9", "caf\xC3\xA9"},
        {"invalid utf-8", "_NET_WM_NAME", "UTF8_STRING", "bad \xC3\x28 bytes", std::nullopt},
        // Cut at the bound before the two-byte character that would cross it.
        {"over the bound", "_NET_WM_NAME", "UTF8_STRING", longTitle,
         std::string(WindowSystem::maxTitleBytes - 1, 'a')},
        {"no title", "", "", "", std::nullopt},
    };
    std::vector<xcb_window_t> made;
    for (const auto& c : cases) {
        made.push_back(x.makeWindow(owner, "term", "Term", true));
        if (!c.property.empty())
            x.setProperty(made.back(), c.property, c.type, c.bytes);
    }
    x.makeWindow(owner, "panel", "Panel", true, "_NET_WM_WINDOW_TYPE_DOCK");
    x.makeWindow(owner + 1, "other", "Other", true);

    const auto listed = windows.windowsOf(owner);
    ASSERT_EQ(listed.size(), std::size(cases));
    // The root stacks later windows above earlier ones; front-most comes first.
    EXPECT_EQ(idsOf(listed), (std::vector<WindowId>(made.rbegin(), made.rend())));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto info = infoOf(listed, made[i]);
        ASSERT_TRUE(info) << cases[i].what;
        EXPECT_EQ(info->title, cases[i].title) << cases[i].what;
        EXPECT_EQ(info->pid, owner);
        EXPECT_EQ(info->instance, "term");
        EXPECT_EQ(info->windowClass, "Term");
        EXPECT_EQ(info->frame, QRect(0, 0, 50, 50));
        EXPECT_FALSE(info->isFullScreen);
    }
    EXPECT_TRUE(windows.windowsOf(0).empty());

    xcb_destroy_window(x.connection(), made[0]);
    x.sync();
    EXPECT_EQ(windows.window(made[0]), std::nullopt);
    EXPECT_EQ(windows.windowsOf(owner).size(), std::size(cases) - 1);
}

TEST(LinuxWindowSystemTest, UnderAWindowManagerActivationFollowsTheRequestAndIsReported)
{
    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    LinuxWindowSystem windows(x.display());
    EXPECT_TRUE(windows.canActivateWindows());
    EXPECT_TRUE(windows.canWatchActiveWindow());
    QSignalSpy changes(&windows, &WindowSystem::activeWindowChanged);

    const pid_t terminal = 5001;
    const pid_t editor = 5002;
    const auto first = x.makeWindow(terminal, "term", "Term", true);
    const auto second = x.makeWindow(terminal, "term", "Term", true);
    const auto other = x.makeWindow(editor, "edit", "Edit", true);
    ASSERT_TRUE(test::waitUntil([&] { return windows.windowsOf(terminal).size() == 2; }));

    for (const xcb_window_t target : {other, first, second, first}) {
        changes.clear();
        ASSERT_TRUE(windows.activate(target));
        ASSERT_TRUE(test::waitUntil([&] {
            const auto active = windows.activeWindow();
            return active && active->id == target && !changes.isEmpty();
        })) << target;
    }
    EXPECT_EQ(windows.activeWindow()->pid, terminal);
    // The window manager's stacking order: the window just activated is the front-most one.
    EXPECT_EQ(idsOf(windows.windowsOf(terminal)), (std::vector<WindowId>{first, second}));
    EXPECT_EQ(windows.window(first)->desktop, 0u);

    // Asking the window manager for full screen, as the window's owner would.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = first;
    message.type = x.atom("_NET_WM_STATE");
    message.data.data32[0] = 1; // add
    message.data.data32[1] = x.atom("_NET_WM_STATE_FULLSCREEN");
    xcb_send_event(x.connection(), 0, x.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    x.sync();
    // The window manager may set the state a moment before it resizes the window.
    ASSERT_TRUE(test::waitUntil([&] {
        const auto window = windows.window(first);
        return window->isFullScreen && window->frame == QRect(0, 0, 640, 480);
    })) << "frame "
        << windows.window(first)->frame.width() << "x" << windows.window(first)->frame.height();
    EXPECT_FALSE(windows.window(second)->isFullScreen);

    // A window that has gone cannot be activated.
    xcb_destroy_window(x.connection(), other);
    x.sync();
    EXPECT_FALSE(windows.activate(other));
}

TEST(LinuxWindowSystemTest, ActivationReachesAWindowOnAnotherDesktopAndAMinimisedOne)
{
    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    LinuxWindowSystem windows(x.display());

    const pid_t terminal = 5101;
    const auto here = x.makeWindow(terminal, "term", "Term", true);
    const auto elsewhere = x.makeWindow(terminal, "term", "Term", true);
    const auto minimised = x.makeWindow(terminal, "term", "Term", true);
    ASSERT_TRUE(test::waitUntil([&] { return windows.windowsOf(terminal).size() == 3; }));

    const auto currentDesktop = [&] {
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(x.connection(),
                                   xcb_get_property(x.connection(), 0, x.root(),
                                                    x.atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1),
                                   nullptr);
        std::optional<std::uint32_t> desktop;
        if (reply && xcb_get_property_value_length(reply) == 4)
            desktop = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        std::free(reply);
        return desktop;
    };
    const auto isShown = [&](xcb_window_t window) {
        for (const auto& shown : windows.shownWindows()) {
            if (shown.id == window)
                return true;
        }
        return false;
    };
    const auto isActive = [&](xcb_window_t window) {
        const auto active = windows.activeWindow();
        return active && active->id == window;
    };

    // As a user or a pager would: one window sent to the second desktop, one minimised.
    ASSERT_EQ(x.run({"wmctrl", "-i", "-r", std::to_string(elsewhere), "-t", "1"}), 0);
    ASSERT_TRUE(test::waitUntil([&] { return windows.window(elsewhere)->desktop == 1u; }));
    ASSERT_EQ(x.run({"xdotool", "windowminimize", "--sync", std::to_string(minimised)}), 0);
    ASSERT_TRUE(test::waitUntil([&] { return !isShown(minimised); }));
    ASSERT_TRUE(windows.activate(here));
    ASSERT_TRUE(test::waitUntil([&] { return isActive(here); }));
    ASSERT_EQ(currentDesktop(), 0u);

    ASSERT_TRUE(windows.activate(elsewhere));
    EXPECT_TRUE(test::waitUntil([&] { return isActive(elsewhere) && currentDesktop() == 1u; }))
        << "current desktop " << currentDesktop().value_or(99);

    ASSERT_TRUE(windows.activate(minimised));
    EXPECT_TRUE(test::waitUntil([&] { return isActive(minimised) && isShown(minimised); }))
        << "minimised window still hidden";
    EXPECT_EQ(currentDesktop(), 0u);
}
