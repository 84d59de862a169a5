#include "Platform/Linux/X11FrontmostApplication.h"
#include "Platform/Linux/XRandrMirroring.h"
#include "Platform/Linux/XScreenSaverIdle.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"

#include <QObject>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using velquist::test::XServer;

namespace {

// What a window manager publishes: the window that has the user's attention (0 for none).
void setActiveWindow(XServer& x, xcb_window_t window)
{
    xcb_change_property(x.connection(), XCB_PROP_MODE_REPLACE, x.root(), x.atom("_NET_ACTIVE_WINDOW"),
                        XCB_ATOM_WINDOW, 32, 1, &window);
    x.sync();
}

TEST(X11DesktopProbesTest, WithoutADisplayEveryProbeSaysItCannotTell)
{
    test::ManualScheduler clock;
    XScreenSaverIdle idle("", clock);
    X11FrontmostApplication frontmost("");
    XRandrMirroring mirroring("");
    EXPECT_FALSE(idle.canReadIdleTime());
    EXPECT_EQ(idle.seconds(), 0);
    EXPECT_FALSE(frontmost.canTellFrontmost());
    EXPECT_EQ(frontmost.frontmostPid(), std::nullopt);
    EXPECT_FALSE(mirroring.canDetectMirroring());
    std::optional<std::optional<bool>> answer;
    QObject context;
    mirroring.queryMirroring(&context, [&](std::optional<bool> mirrored) { answer = mirrored; });
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, std::nullopt);
}

TEST(X11DesktopProbesTest, IdleTimeIsReadFromTheServerAndAgedBetweenSamples)
{
    XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    test::ManualScheduler clock;
    XScreenSaverIdle idle(x.display(), clock);
    ASSERT_TRUE(test::waitUntil([&] { return idle.sample().value_or(0) >= 0.3; }));
    EXPECT_TRUE(idle.canReadIdleTime());

    // A read answers from the last sample, aged by the injected clock.
    idle.refresh();
    ASSERT_TRUE(test::waitUntil([&] { return idle.seconds() >= 0.3; }));
    const double before = idle.seconds();
    clock.advance(200s);
    EXPECT_NEAR(idle.seconds(), before + 200, 0.01);

    if (x.run({"xdotool", "key", "shift"}) != 0)
        GTEST_SKIP() << "no xdotool";
    EXPECT_LT(idle.sample().value_or(99), 0.3);
}

TEST(X11DesktopProbesTest, TheFrontmostApplicationFollowsTheActiveWindow)
{
    XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    X11FrontmostApplication frontmost(x.display());
    EXPECT_TRUE(frontmost.canTellFrontmost());
    EXPECT_EQ(frontmost.frontmostPid(), std::nullopt);

    const auto terminal = x.makeWindow(4321, "term", "Term", true);
    const auto editor = x.makeWindow(::getpid(), "editor", "Editor", true);
    setActiveWindow(x, terminal);
    EXPECT_TRUE(test::waitUntil([&] { return frontmost.frontmostPid() == 4321; }));
    setActiveWindow(x, editor);
    EXPECT_TRUE(test::waitUntil([&] { return frontmost.frontmostPid() == ::getpid(); }));
    setActiveWindow(x, 0);
    EXPECT_TRUE(test::waitUntil([&] { return frontmost.frontmostPid() == std::nullopt; }));
}

TEST(X11DesktopProbesTest, AServerWithOneOutputMirrorsNothing)
{
    XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    XRandrMirroring mirroring(x.display());
    const auto outputs = mirroring.readOutputs();
    ASSERT_TRUE(outputs);
    ASSERT_EQ(outputs->size(), 1u);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x.connection())).data;
    EXPECT_EQ(outputs->front().width, screen->width_in_pixels);
    std::optional<std::optional<bool>> answer;
    QObject context;
    mirroring.queryMirroring(&context, [&](std::optional<bool> mirrored) { answer = mirrored; });
    ASSERT_TRUE(test::waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, false);
}

TEST(X11DesktopProbesTest, MirroringIsOneCrtcOnTwoOutputsOrTwoCrtcsAtOnePlace)
{
    using Output = XRandrMirroring::Output;
    struct Case
    {
        const char* name;
        std::vector<Output> outputs;
        std::optional<bool> mirrored;
    };
    const Case cases[] = {
        {"no lit output", {}, std::nullopt},
        {"one", {{1, 0, 0, 1920, 1080}}, false},
        {"side by side", {{1, 0, 0, 1920, 1080}, {2, 1920, 0, 1920, 1080}}, false},
        {"same crtc", {{1, 0, 0, 1920, 1080}, {1, 0, 0, 1920, 1080}}, true},
        {"same area", {{1, 0, 0, 1920, 1080}, {2, 0, 0, 1920, 1080}}, true},
        {"same place, other size", {{1, 0, 0, 1920, 1080}, {2, 0, 0, 1280, 720}}, true},
        {"below", {{1, 0, 0, 1920, 1080}, {2, 0, 1080, 1920, 1080}}, false},
        {"third mirrors the first", {{1, 0, 0, 800, 600}, {2, 800, 0, 800, 600}, {3, 0, 0, 800, 600}}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XRandrMirroring::isMirrored(c.outputs), c.mirrored) << c.name;
}

} // namespace
