// The real application on a real X server with a window manager: its panel shows a request from the
// real hook client, and a real click on the panel answers it.

#include "Shared/HomePaths.h"
#include "Shared/Json.h"
#include "support/AppEnvironment.h"
#include "support/InstalledHook.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

using namespace velquist;
using namespace std::chrono_literals;
using velquist::test::XServer;
namespace fs = std::filesystem;

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

template <typename T> struct Freed
{
    T* reply;
    ~Freed() { std::free(reply); }
};

std::optional<std::uint32_t> cardinal(XServer& x, xcb_window_t window, const std::string& name)
{
    Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        x.connection(), xcb_get_property(x.connection(), 0, window, x.atom(name), XCB_ATOM_CARDINAL, 0, 1),
        nullptr)};
    if (!reply.reply || reply.reply->format != 32 || xcb_get_property_value_length(reply.reply) < 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.reply));
}

// The mapped top-level windows of `pid` that the window manager does not manage, with their frames.
std::vector<std::pair<xcb_window_t, QRect>> unmanagedWindowsOf(XServer& x, qint64 pid)
{
    xcb_connection_t* c = x.connection();
    std::vector<std::pair<xcb_window_t, QRect>> found;
    Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c, xcb_query_tree(c, x.root()), nullptr)};
    if (!tree.reply)
        return found;
    const xcb_window_t* children = xcb_query_tree_children(tree.reply);
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i) {
        Freed<xcb_get_window_attributes_reply_t> attributes{
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr)};
        if (!attributes.reply || !attributes.reply->override_redirect ||
            attributes.reply->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (cardinal(x, children[i], "_NET_WM_PID") != std::uint32_t(pid))
            continue;
        Freed<xcb_get_geometry_reply_t> geometry{
            xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr)};
        if (geometry.reply)
            found.push_back({children[i], QRect(geometry.reply->x, geometry.reply->y, geometry.reply->width,
                                                geometry.reply->height)});
    }
    return found;
}

// What the screen shows now.
QImage screenshot(XServer& x)
{
    xcb_connection_t* c = x.connection();
    Freed<xcb_get_image_reply_t> image{xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), 0, 0, kScreenWidth, kScreenHeight, ~0u),
        nullptr)};
    if (!image.reply)
        return {};
    const QImage view(xcb_get_image_data(image.reply), kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    return view.copy();
}

bool isColour(const QImage& image, int x, int y, QColor colour)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return false;
    const QColor pixel = image.pixelColor(x, y);
    return std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
               std::abs(pixel.blue() - colour.blue()) <
           30;
}

// The filled capsule of `colour` (the primary action of a card): the first block of at least 14 by 5
// pixels of it, grown to the capsule's full extent along its top rows.
std::optional<QRect> filledCapsule(const QImage& image, QColor colour)
{
    for (int y = 0; y + 5 <= image.height(); ++y) {
        for (int x = 0; x + 14 <= image.width(); ++x) {
            bool solid = true;
            for (int dy = 0; dy < 5 && solid; ++dy)
                for (int dx = 0; dx < 14 && solid; dx += 1)
                    solid = isColour(image, x + dx, y + dy, colour);
            if (!solid)
                continue;
            int left = x;
            while (isColour(image, left - 1, y + 1, colour))
                --left;
            int bottom = y + 4;
            while (isColour(image, left + 2, bottom + 1, colour))
                ++bottom;
            int top = y;
            while (isColour(image, left + 2, top - 1, colour))
                --top;
            return QRect(QPoint(left, top), QPoint(x + 13, bottom));
        }
    }
    return std::nullopt;
}

class PanelWithX11Test : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (!x.isRunning() || !x.startWindowManager(wmHome.path()))
            GTEST_SKIP() << "no Xvfb or openbox";
        for (const char* tool : {"/usr/bin/xdotool"})
            if (::access(tool, X_OK) != 0)
                GTEST_SKIP() << tool << " is not installed";
    }
    void TearDown() override
    {
        for (QProcess* process : {&hook, &app}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    // The environment of a child: the temporary home, our display; never this process's HOME.
    QProcessEnvironment childEnvironment() const { return test::appEnvironment(home.path(), x.display()); }

    // Starts the application with `settings` as its saved defaults; the introduction counts as
    // played, so the panel shows the sessions alone.
    bool startApplication(nlohmann::json settings = nlohmann::json::object())
    {
        settings["IntroMoviePlayed"] = true;
        const fs::path defaults = home.path() / ".config/Velquist/defaults.json";
        fs::create_directories(defaults.parent_path());
        std::ofstream(defaults) << settings.dump();
        app.setProcessEnvironment(childEnvironment());
        app.start(QStringLiteral(VELQUIST_APP_PATH), {});
        return app.waitForStarted(10'000) &&
               test::waitUntil([&] { return fs::exists(HomePaths(home.path()).socketPath()); }, 30s);
    }

    // Runs the installed PermissionRequest hook as Claude Code does, the request on its input.
    bool askPermission(const std::string& sessionId)
    {
        const std::string command = test::installedClaudeHook(home.path(), "PermissionRequest");
        if (command.empty())
            return false;
        hook.setProcessEnvironment(childEnvironment());
        hook.start("/bin/sh", {"-c", QString::fromStdString(command)});
        if (!hook.waitForStarted(10'000))
            return false;
        const nlohmann::json request = {{"session_id", sessionId},
                                        {"hook_event_name", "PermissionRequest"},
                                        {"cwd", (home.path() / "project").string()},
                                        {"permission_mode", "default"},
                                        {"tool_name", "Bash"},
                                        {"tool_input", {{"command", "ls -la"}}}};
        hook.write(QByteArray::fromStdString(request.dump()));
        hook.closeWriteChannel();
        return true;
    }

    // The panel's window on screen.
    std::optional<QRect> panel()
    {
        const auto windows = unmanagedWindowsOf(x, app.processId());
        for (const auto& [window, frame] : windows) {
            if (frame.height() == 600)
                return frame;
        }
        return std::nullopt;
    }

    // Hovers the notch so it opens, then finds the request's filled "Allow" capsule once it has
    // stopped moving.
    std::optional<QRect> openAndFindAllow()
    {
        const auto frame = panel();
        if (!frame)
            return std::nullopt;
        x.run({"xdotool", "mousemove", std::to_string(kScreenWidth / 2), "6"});
        std::optional<QRect> last;
        std::optional<QRect> found;
        test::waitUntil(
            [&] {
                const auto capsule = filledCapsule(screenshot(x), QColor(255, 149, 0));
                if (capsule && capsule == last)
                    found = capsule;
                last = capsule;
                return found.has_value();
            },
            30s);
        return found;
    }

    std::optional<std::string> decision()
    {
        if (!test::waitUntil([&] { return hook.state() == QProcess::NotRunning; }, 30s))
            return std::nullopt;
        const auto printed = Json::parse(hook.readAllStandardOutput().toStdString());
        if (!printed)
            return std::nullopt;
        return printed->value("/hookSpecificOutput/decision/behavior"_json_pointer, std::string());
    }

    void click(QPoint at)
    {
        x.run({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y())});
        test::settle(100ms);
        x.run({"xdotool", "click", "1"});
    }

    XServer x{std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24"};
    test::TemporaryFolder wmHome;
    test::TemporaryFolder home;
    QProcess app;
    QProcess hook;
};

} // namespace

TEST_F(PanelWithX11Test, AllowAndDenyClickedOnThePanelReachTheAgent)
{
    ASSERT_TRUE(startApplication()) << app.readAllStandardError().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return panel().has_value(); }, 30s)) << "the panel shows";
    const QRect frame = *panel();
    EXPECT_EQ(frame.top(), 0);
    EXPECT_EQ(frame.left() + frame.width() / 2, kScreenWidth / 2);

    struct Case
    {
        const char* session;
        const char* expected;
    };
    for (const Case& c : {Case{"e2e-allow", "allow"}, Case{"e2e-deny", "deny"}}) {
        SCOPED_TRACE(c.expected);
        ASSERT_TRUE(askPermission(c.session));
        const auto allow = openAndFindAllow();
        ASSERT_TRUE(allow.has_value()) << "the request shows its Allow button";
        if (std::string(c.expected) == "allow")
            click({allow->left() + 10, allow->center().y()});
        else // Deny sits just left of Allow, 7 pixels apart
            click({allow->left() - 7 - 18, allow->center().y()});
        EXPECT_EQ(decision(), std::string(c.expected)) << app.readAllStandardError().toStdString();
        // Away from the panel, so the next request opens it afresh.
        x.run({"xdotool", "mousemove", std::to_string(kScreenWidth / 2), std::to_string(kScreenHeight - 10)});
    }
}

namespace {

// A window of the test's own under the panel, noting the button presses it receives.
class WindowBelow
{
  public:
    WindowBelow(XServer& x, QRect frame, bool fullScreen = false) : m_x(x)
    {
        xcb_connection_t* c = x.connection();
        m_window = xcb_generate_id(c);
        const std::uint32_t events = XCB_EVENT_MASK_BUTTON_PRESS;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, x.root(), std::int16_t(frame.x()),
                          std::int16_t(frame.y()), std::uint16_t(frame.width()),
                          std::uint16_t(frame.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_EVENT_MASK, &events);
        if (fullScreen) {
            const xcb_atom_t state = x.atom("_NET_WM_STATE_FULLSCREEN");
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_window, x.atom("_NET_WM_STATE"), XCB_ATOM_ATOM,
                                32, 1, &state);
        }
        xcb_map_window(c, m_window);
        x.sync();
    }
    ~WindowBelow()
    {
        xcb_destroy_window(m_x.connection(), m_window);
        m_x.sync();
    }

    xcb_window_t id() const { return m_window; }
    // Reads what the server sent; true when a press reached this window.
    bool pressed()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_x.connection())) {
            if ((event->response_type & 0x7F) == XCB_BUTTON_PRESS &&
                reinterpret_cast<xcb_button_press_event_t*>(event)->event == m_window)
                m_pressed = true;
            std::free(event);
        }
        return m_pressed;
    }
    void forget()
    {
        pressed();
        m_pressed = false;
    }

  private:
    XServer& m_x;
    xcb_window_t m_window = 0;
    bool m_pressed = false;
};

// Whether `above` is stacked over `below` among the root's children.
bool stackedAbove(XServer& x, xcb_window_t above, xcb_window_t below)
{
    xcb_connection_t* c = x.connection();
    Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c, xcb_query_tree(c, x.root()), nullptr)};
    if (!tree.reply)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.reply);
    int abovePosition = -1;
    int belowPosition = -1;
    for (int i = 0; i < xcb_query_tree_children_length(tree.reply); ++i) {
        if (children[i] == above)
            abovePosition = i;
        // A managed window sits inside the window manager's frame, a child of the root.
        Freed<xcb_query_tree_reply_t> inner{xcb_query_tree_reply(c, xcb_query_tree(c, children[i]), nullptr)};
        if (children[i] == below)
            belowPosition = i;
        else if (inner.reply) {
            const xcb_window_t* grand = xcb_query_tree_children(inner.reply);
            for (int j = 0; j < xcb_query_tree_children_length(inner.reply); ++j)
                if (grand[j] == below)
                    belowPosition = i;
        }
    }
    return abovePosition > belowPosition && belowPosition >= 0;
}

} // namespace

TEST_F(PanelWithX11Test, ClicksBesideTheNotchReachTheWindowBelow)
{
    ASSERT_TRUE(startApplication()) << app.readAllStandardError().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return panel().has_value(); }, 30s));
    WindowBelow below(x, {0, 0, kScreenWidth, kScreenHeight});
    xcb_window_t panelWindow = 0;
    ASSERT_TRUE(test::waitUntil([&] {
        for (const auto& [window, frame] : unmanagedWindowsOf(x, app.processId()))
            if (frame.height() == 600)
                panelWindow = window;
        return panelWindow && stackedAbove(x, panelWindow, below.id());
    })) << "the panel stays above a window mapped after it";

    // Inside the panel's window, beside the notch.
    click({kScreenWidth / 2 + 250, 100});
    EXPECT_TRUE(test::waitUntil([&] { return below.pressed(); })) << "the click passed through the panel";

    below.forget();
    click({kScreenWidth / 2, 5});
    test::settle(300ms);
    EXPECT_FALSE(below.pressed()) << "the notch itself keeps its clicks";
}

TEST_F(PanelWithX11Test, AFullScreenWindowHidesThePanelWhenTheSettingSaysSo)
{
    ASSERT_TRUE(startApplication({{"hidesOverFullScreen", true}}))
        << app.readAllStandardError().toStdString();
    ASSERT_TRUE(test::waitUntil([&] { return panel().has_value(); }, 30s));
    {
        WindowBelow video(x, {0, 0, kScreenWidth, kScreenHeight}, true);
        EXPECT_TRUE(test::waitUntil([&] { return !panel().has_value(); }))
            << "the panel steps aside over the full-screen window";
    }
    EXPECT_TRUE(test::waitUntil([&] { return panel().has_value(); })) << "and comes back when it goes";
}
