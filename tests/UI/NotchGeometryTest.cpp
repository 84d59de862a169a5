#include "UI/NotchGeometry.h"
#include "UI/NotchMotion.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

ScreenInfo screen(QRect geometry, int topBar)
{
    ScreenInfo info;
    info.connector = "HDMI-1";
    info.geometry = geometry;
    info.availableGeometry = geometry.adjusted(0, topBar, 0, 0);
    return info;
}

ScreenInfo housed(QRect geometry, qreal inset, int leftArea, int rightArea)
{
    ScreenInfo info = screen(geometry, int(inset));
    info.connector = "eDP-1";
    info.safeAreaTop = inset;
    info.auxiliaryTopLeft = QRect(geometry.left(), geometry.top(), leftArea, int(inset));
    info.auxiliaryTopRight = QRect(geometry.right() - rightArea, geometry.top(), rightArea, int(inset));
    return info;
}

} // namespace

TEST(NotchGeometryTest, BarHeightGapAndWingsPerScreen)
{
    const ScreenInfo laptop = housed(QRect(0, 0, 1512, 982), 32, 650, 677);
    ScreenInfo halfHoused = housed(QRect(0, 0, 1512, 982), 32, 650, 677);
    halfHoused.auxiliaryTopRight.reset();
    const ScreenInfo withBar = screen(QRect(1512, 0, 2560, 1440), 27);
    const ScreenInfo bare = screen(QRect(1512, 0, 2560, 1440), 0);
    // A desktop panel at the bottom leaves the top edge bare.
    ScreenInfo bottomPanel = screen(QRect(0, 0, 1920, 1080), 0);
    bottomPanel.availableGeometry = QRect(0, 0, 1920, 1040);
    // Screens placed above others have negative coordinates; only the difference counts.
    const ScreenInfo above = screen(QRect(0, -1080, 1920, 1080), 24);

    struct Case
    {
        const char* name;
        ScreenInfo subject;
        std::vector<ScreenInfo> attached;
        bool hasRealNotch;
        qreal gap;
        qreal barHeight;
    };
    const Case cases[] = {
        {"housed screen", laptop, {laptop, withBar}, true, 1512 - 650 - 677, 32},
        {"inset without both top areas", halfHoused, {halfHoused}, false, 56, 32},
        {"top bar of its own", withBar, {laptop, withBar}, false, 56, 27},
        {"no top bar, housed screen attached", bare, {bare, laptop}, false, 56, 32},
        {"no top bar and no housed screen", bare, {bare, withBar}, false, 56, 32},
        {"no screens listed at all", bare, {}, false, 56, 32},
        {"panel at the bottom only", bottomPanel, {bottomPanel}, false, 56, 32},
        {"screen above the primary", above, {above}, false, 56, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NotchGeometry geometry = NotchGeometry::forScreen(c.subject, c.attached);
        EXPECT_EQ(geometry.hasRealNotch, c.hasRealNotch);
        EXPECT_EQ(geometry.centerGapWidth, c.gap);
        EXPECT_EQ(geometry.barHeight, c.barHeight);
        EXPECT_EQ(geometry.wingWidth, 128);
    }
}

TEST(NotchGeometryTest, BorrowedBarHeightComesFromTheFirstHousedScreen)
{
    const ScreenInfo bare = screen(QRect(0, 0, 1920, 1080), 0);
    const ScreenInfo first = housed(QRect(1920, 0, 1512, 982), 38, 650, 677);
    const ScreenInfo second = housed(QRect(3432, 0, 1512, 982), 30, 650, 677);
    EXPECT_EQ(NotchGeometry::forScreen(bare, {bare, first, second}).barHeight, 38);
    EXPECT_EQ(NotchGeometry::forScreen(bare, {bare, second, first}).barHeight, 30);
}

TEST(NotchGeometryTest, TopEdgesEqualOnlyWhenAllFactsAre)
{
    const ScreenTopEdge plain{27, std::nullopt};
    EXPECT_EQ(plain, (ScreenTopEdge{27, std::nullopt}));
    EXPECT_NE(plain, (ScreenTopEdge{28, std::nullopt}));
    EXPECT_NE(plain, (ScreenTopEdge{27, ScreenTopEdge::Notch{32, 185}}));
    EXPECT_NE((ScreenTopEdge{27, ScreenTopEdge::Notch{32, 185}}),
              (ScreenTopEdge{27, ScreenTopEdge::Notch{32, 186}}));
    EXPECT_EQ(ScreenTopEdge::of(housed(QRect(0, 0, 1512, 982), 32, 650, 677)),
              (ScreenTopEdge{32, ScreenTopEdge::Notch{32, 185}}));
}

TEST(NotchGeometryTest, OpenWidthIsBarWithWingsButAtLeast760)
{
    NotchGeometry narrow;
    EXPECT_EQ(narrow.openWidth(), 760);
    NotchGeometry wide;
    wide.centerGapWidth = 600;
    EXPECT_EQ(wide.openWidth(), 600 + 2 * 128);
}

TEST(NotchMotionTest, CurveRisesFastAndSettlesAtOne)
{
    const QEasingCurve curve = NotchMotion::presentation();
    EXPECT_EQ(curve.type(), QEasingCurve::BezierSpline);
    EXPECT_DOUBLE_EQ(curve.valueForProgress(0), 0);
    EXPECT_NEAR(curve.valueForProgress(1), 1, 1e-9);
    // Both control points at full height: most of the way there early, a long soft landing.
    EXPECT_GT(curve.valueForProgress(0.2), 0.65);
    EXPECT_GT(curve.valueForProgress(0.5), 0.95);
    EXPECT_LT(curve.valueForProgress(0.5), 1.0);
    double previous = 0;
    for (int step = 1; step <= 20; ++step) {
        const double value = curve.valueForProgress(step / 20.0);
        EXPECT_GE(value, previous - 1e-9) << step;
        EXPECT_LE(value, 1 + 1e-9);
        previous = value;
    }
    EXPECT_EQ(NotchMotion::kDurationMs, 1000);
}
