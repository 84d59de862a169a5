#include "Platform/Linux/X11FrontmostApplication.h"
#include "UI/NotchPanelMark.h"
#include "UI/NotchTextField.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryHome.h"

#include <QFile>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
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

// Polls the X server (not the event loop) until `condition` holds or time runs out.
bool poll(const std::function<bool()>& condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        ::usleep(10'000);
    }
    return condition();
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
    ASSERT_TRUE(poll([&] { return activeWindow(x) == terminal; }));

    const std::string control = (home.path() / "close").string();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("DISPLAY", x.display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv(childKey, control.c_str(), 1);
        // The real X platform loads the desktop bus library, which keeps an allocation until exit;
        // the leak checker would count it against the child.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        ::execl("/proc/self/exe", "test_app", "--gtest_filter=NotchTextFieldX11Child.*", nullptr);
        ::_exit(127);
    }
    const bool taken = poll([&] {
        const auto active = activeWindow(x);
        return active != terminal && pidOf(x, active) == static_cast<std::uint32_t>(child);
    });
    QFile(QString::fromStdString(control)).open(QIODevice::WriteOnly);
    // The panel stays on screen meanwhile: the keyboard comes back because the field asks for it.
    const bool givenBack = poll([&] { return activeWindow(x) == terminal; });
    QFile(QString::fromStdString(control + ".exit")).open(QIODevice::WriteOnly);
    int status = 0;
    if (!poll([&] { return ::waitpid(child, &status, WNOHANG) == child; })) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    EXPECT_TRUE(taken);
    EXPECT_TRUE(givenBack);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
