// The kit's menus on a real X server without a compositor: the window is cut round, so its corners
// show the window below it on screen, not a black square.

#include "UI/Kit/MenuStyle.h"
#include "support/TestBinaryChild.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QFile>
#include <QMenu>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

using namespace velquist;
using namespace std::chrono_literals;
using velquist::test::XServer;

namespace {

constexpr const char* childKey = "VELQUIST_MENU_CHILD";
constexpr int kMenuX = 100, kMenuY = 100;
constexpr std::uint32_t kBackdrop = 0x30a030;

// The pixel the screen shows at (x, y): the root window's contents, as the display presents them.
std::optional<std::uint32_t> screenPixel(XServer& x, int px, int py)
{
    xcb_get_image_reply_t* reply =
        xcb_get_image_reply(x.connection(),
                            xcb_get_image(x.connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(),
                                          std::int16_t(px), std::int16_t(py), 1, 1, ~0u),
                            nullptr);
    std::optional<std::uint32_t> pixel;
    if (reply && xcb_get_image_data_length(reply) >= 4)
        pixel = *reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply)) & 0xffffff;
    std::free(reply);
    return pixel;
}

bool near(std::optional<std::uint32_t> pixel, std::uint32_t colour)
{
    if (!pixel)
        return false;
    int distance = 0;
    for (int shift : {0, 8, 16})
        distance += std::abs(int((*pixel >> shift) & 0xff) - int((colour >> shift) & 0xff));
    return distance < 12;
}

TEST(MenuStyleX11Test, CutCornersShowTheWindowBelow)
{
    XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    // A plain window that the server itself paints, under where the menu opens.
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x.connection())).data;
    const xcb_window_t backdrop = xcb_generate_id(x.connection());
    const std::uint32_t values[] = {kBackdrop, 1};
    xcb_create_window(x.connection(), XCB_COPY_FROM_PARENT, backdrop, x.root(), kMenuX - 40, kMenuY - 40, 400,
                      300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(x.connection(), backdrop);
    x.sync();
    ASSERT_TRUE(test::pollUntil([&] { return near(screenPixel(x, kMenuX, kMenuY), kBackdrop); }));

    const std::string control = (home.path() / "close").string();
    test::TestBinaryChild child(x.display(), "MenuStyleX11Child.*", childKey, control);
    // The menu's own dark fill inside, once it is drawn.
    const bool shown =
        test::pollUntil([&] { return near(screenPixel(x, kMenuX + 20, kMenuY + 15), 0x1c1c20); });
    const auto corner = screenPixel(x, kMenuX, kMenuY);
    const auto cornerBelow = screenPixel(x, kMenuX + 1, kMenuY + 1);
    QFile(QString::fromStdString(control)).open(QIODevice::WriteOnly);
    const bool childPassed = child.finish();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(near(corner, kBackdrop)) << std::hex << corner.value_or(0);
    EXPECT_TRUE(near(cornerBelow, kBackdrop)) << std::hex << cornerBelow.value_or(0);
    EXPECT_TRUE(childPassed);
}

// The menu side of the test above; does nothing unless started by it.
TEST(MenuStyleX11Child, OpensAMenuUntilToldToClose)
{
    const char* control = std::getenv(childKey);
    if (!control)
        GTEST_SKIP() << "run by MenuStyleX11Test";
    QMenu menu;
    MenuStyle::apply(menu);
    menu.addAction(QStringLiteral("Allow for this session"));
    menu.addAction(QStringLiteral("Always allow"));
    menu.popup(QPoint(kMenuX, kMenuY));
    ASSERT_TRUE(test::waitUntil([&] { return menu.windowHandle() && menu.windowHandle()->isExposed(); }));
    EXPECT_EQ(menu.pos(), QPoint(kMenuX, kMenuY));
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(QString::fromUtf8(control)); }, 20s));
}

} // namespace
