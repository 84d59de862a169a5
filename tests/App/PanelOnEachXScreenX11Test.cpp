// The real application on an X server with two X screens: each screen gets a panel of its own,
// shown at the top of that screen. Separate X screens name their one output alike and each starts
// at 0,0, so neither a name nor a position alone tells them apart.

#include "support/AppEnvironment.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <QRect>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// The mapped windows of the application among the children of `root`, in root coordinates.
std::vector<QRect> shownAppWindows(xcb_connection_t* c, xcb_window_t root)
{
    std::vector<QRect> found;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree)
        return found;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int index = 0; index < xcb_query_tree_children_length(tree); ++index) {
        const xcb_window_t window = children[index];
        auto* name = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
        const std::string windowClass =
            name ? std::string(static_cast<const char*>(xcb_get_property_value(name)),
                               std::size_t(xcb_get_property_value_length(name)))
                 : std::string();
        std::free(name);
        auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        if (attributes && geometry && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            windowClass.find("elquist") != std::string::npos)
            found.emplace_back(geometry->x, geometry->y, geometry->width, geometry->height);
        std::free(attributes);
        std::free(geometry);
    }
    std::free(tree);
    return found;
}

} // namespace

TEST(PanelOnEachXScreenX11Test, EachXScreenShowsItsOwnPanelAtItsTop)
{
    test::XServer x(std::vector<std::string>{"1280x800x24", "1024x768x24"});
    test::TemporaryFolder home;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    std::vector<xcb_screen_t*> screens;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(x.connection())); it.rem; xcb_screen_next(&it))
        screens.push_back(it.data);
    ASSERT_EQ(screens.size(), 2u);

    std::filesystem::create_directories(home.path() / ".config/Velquist");
    std::ofstream(home.path() / ".config/Velquist/defaults.json") << R"({"IntroMoviePlayed": true})";
    QProcess app;
    app.setProcessEnvironment(test::appEnvironment(home.path(), x.display()));
    app.start(QStringLiteral(VELQUIST_APP_PATH), {QStringLiteral("--mock-data")});

    for (std::size_t index = 0; index < screens.size(); ++index) {
        SCOPED_TRACE(index);
        const int width = screens[index]->width_in_pixels;
        std::vector<QRect> shown;
        EXPECT_TRUE(test::waitUntil(
            [&] {
                shown = shownAppWindows(x.connection(), screens[index]->root);
                return shown.size() == 1;
            },
            20s))
            << shown.size() << " windows shown";
        if (shown.size() == 1) {
            EXPECT_EQ(shown[0].top(), 0) << "hanging from the top";
            EXPECT_NEAR(shown[0].center().x(), width / 2, 2) << "centred on its own screen";
        }
    }
    app.terminate();
    if (!app.waitForFinished(10'000)) {
        app.kill();
        app.waitForFinished(5000);
    }
}
