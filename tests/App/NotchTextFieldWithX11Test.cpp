#include "Platform/Linux/X11FrontmostApplication.h"
#include "UI/NotchPanelMark.h"
#include "UI/NotchTextField.h"
#include "support/TestBinaryChild.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QFile>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using velquist::test::XServer;

namespace {

constexpr const char* childKey = "VELQUIST_TEXTFIELD_CHILD";

std::uint32_t activeWindow(XServer& x)
{
    auto* reply = xcb_get_property_reply(
        x.connection(),
        xcb_get_property(x.connection(), 0, x.root(), x.atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    std::uint32_t window = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        window = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return window;
}

std::uint32_t pidOf(XServer& x, std::uint32_t window)
{
    auto* reply = xcb_get_property_reply(
        x.connection(),
        xcb_get_property(x.connection(), 0, window, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1), nullptr);
    std::uint32_t pid = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        pid = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return pid;
}

// The real thing under a window manager: a terminal-like window has the keyboard; a panel in
// another process (this test binary again, on the xcb platform) opens its field and takes it; when
// the field goes, the keyboard is back with the terminal.
TEST(NotchTextFieldX11Test, TheFieldBorrowsTheKeyboardFromAnotherWindowAndGivesItBack)
{
    XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    const xcb_window_t terminal = x.makeWindow(::getpid(), "term", "Term", true);
    ASSERT_EQ(x.run({"xdotool", "windowactivate", "--sync", std::to_string(terminal)}), 0);
    ASSERT_TRUE(test::pollUntil([&] { return activeWindow(x) == terminal; }));

    const std::string control = (home.path() / "close").string();
    test::TestBinaryChild child(x.display(), "NotchTextFieldX11Child.*", childKey, control);
    const bool taken = test::pollUntil([&] {
        const auto active = activeWindow(x);
        return active != terminal && pidOf(x, active) == static_cast<std::uint32_t>(child.pid());
    });
    QFile(QString::fromStdString(control)).open(QIODevice::WriteOnly);
    // The panel stays on screen meanwhile: the keyboard comes back because the field asks for it.
    const bool givenBack = test::pollUntil([&] { return activeWindow(x) == terminal; });
    QFile(QString::fromStdString(control + ".exit")).open(QIODevice::WriteOnly);
    const bool childPassed = child.finish();
    EXPECT_TRUE(taken);
    EXPECT_TRUE(givenBack);
    EXPECT_TRUE(childPassed);
}

// The panel side of the test above; does nothing unless started by it.
TEST(NotchTextFieldX11Child, OpensTheFieldUntilToldToClose)
{
    const char* control = std::getenv(childKey);
    if (!control)
        GTEST_SKIP() << "run by NotchTextFieldX11Test";
    X11FrontmostApplication focus(std::getenv("DISPLAY"));
    QWidget panel(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    markAsNotchPanel(&panel);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.resize(300, 40);
    panel.show();
    panel.windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, true);
    ASSERT_TRUE(test::waitUntil([&] { return panel.windowHandle()->isExposed(); }));
    auto* field = new NotchTextField(nullptr, &focus, &panel);
    field->show();
    ASSERT_TRUE(test::waitUntil([&] { return field->holdsFocus(); }));
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(QString::fromUtf8(control)); }, 20s));
    delete field;
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(QString::fromUtf8(control) + ".exit"); }, 20s));
}

} // namespace
