#include "Characters/LogoCat.h"
#include "Characters/LogoCatGrid.h"
#include "Characters/LogoCatMotion.h"

#include "support/ManualScheduler.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::LogoCatGrid;
using E = LogoCatExpression;

namespace {

std::vector<Cell> withColour(const std::vector<Cell>& cells, const Colour& colour)
{
    std::vector<Cell> out;
    for (const Cell& cell : cells)
        if (cell.colour == colour)
            out.push_back(cell);
    return out;
}

} // namespace

TEST(LogoCatGrid, EyesFollowTheExpressionAndBlinking)
{
    struct Case
    {
        E expression;
        bool blinking;
        Eyes eyes;
        double eyeTop;
        double eyeHeight;
    };
    const Case cases[] = {
        {E::greeting, false, Eyes::closed, 14, 2},  {E::sleepy, false, Eyes::closed, 14, 2},
        {E::delighted, false, Eyes::closed, 14, 2}, {E::working, false, Eyes::lowered, 13, 4},
        {E::working, true, Eyes::closed, 14, 2},    {E::alert, false, Eyes::wide, 12, 4},
        {E::alert, true, Eyes::closed, 14, 2},      {E::asking, false, Eyes::open, 12, 4},
        {E::asking, true, Eyes::closed, 14, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(toString(c.expression)) + (c.blinking ? " blinking" : ""));
        EXPECT_EQ(eyeState(c.expression, c.blinking), c.eyes);
        Pose pose;
        pose.isBlinking = c.blinking;
        const auto eyes = withColour(cells(c.expression, pose), Colours::eye);
        ASSERT_EQ(eyes.size(), 2u);
        EXPECT_EQ(eyes[0].y, c.eyeTop);
        EXPECT_EQ(eyes[0].height, c.eyeHeight);
        EXPECT_EQ(eyes[1].x, 24);
        EXPECT_EQ(withColour(cells(c.expression, pose), Colours::highlight).size(),
                  c.eyes == Eyes::wide ? 2u : 0u);
    }
}

TEST(LogoCatGrid, EarsMouthAndPropsByExpression)
{
    struct Case
    {
        E expression;
        double earTop;
        double mouthTop;
        std::size_t accentCells; // exclamation mark, Z letters, sparkles
        std::size_t shadeCells;  // the head's shading, plus the raised paw
    };
    const Case cases[] = {
        {E::greeting, 0, 18, 0, 3}, {E::working, 0, 19, 0, 2},   {E::alert, -1.5, 19, 2, 2},
        {E::sleepy, 1.5, 19, 8, 2}, {E::delighted, 0, 18, 6, 2}, {E::asking, 0, 19, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toString(c.expression));
        const auto all = cells(c.expression, Pose{});
        EXPECT_LE(all.size(), 27u);
        EXPECT_EQ(all.front().y, c.earTop);
        const auto mouth = withColour(all, Colours::mouth);
        ASSERT_EQ(mouth.size(), 2u);
        EXPECT_EQ(mouth[0].y, c.mouthTop);
        EXPECT_EQ(withColour(all, Colours::accent).size(), c.accentCells);
        EXPECT_EQ(withColour(all, Colours::shade).size(), c.shadeCells);
    }
}

TEST(LogoCatGrid, BobMovesEveryBlockAndThePawMovesOnlyThePaw)
{
    Pose moved;
    moved.bob = -1;
    moved.paw = -3;
    const auto rest = cells(E::greeting, Pose{});
    const auto now = cells(E::greeting, moved);
    ASSERT_EQ(rest.size(), now.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const bool paw = rest[i].x == -4;
        EXPECT_DOUBLE_EQ(now[i].y, rest[i].y - 1 - (paw ? 3 : 0)) << i;
    }
}

TEST(LogoCatGrid, ZLettersRiseFadeAndShrink)
{
    struct Case
    {
        int index;
        double phase;
        double left;
        double top;
        double opacity;
        double stroke;
    };
    const Case cases[] = {
        {0, 0, 32, -2, 0, 2},        {0, 0.1, 32.4, -2.7, 0.5, 2},
        {0, 0.5, 34, -5.5, 1, 2},    {0, 0.825, 35.3, -7.775, 0.5, 2},
        {1, 0.5, 39, -5.5, 1, 1.32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + " at " + std::to_string(c.phase));
        const auto letter = zeds(c.index, c.phase, 0);
        ASSERT_EQ(letter.size(), 4u); // two strokes and two diagonal squares
        EXPECT_NEAR(letter[0].x, c.left, 1e-9);
        EXPECT_NEAR(letter[0].y, c.top, 1e-9);
        EXPECT_NEAR(letter[0].opacity, c.opacity, 1e-9);
        EXPECT_NEAR(letter[0].height, c.stroke, 1e-9);
        const double width = c.index == 0 ? 8 : 5.28;
        EXPECT_NEAR(letter[1].y, c.top + width - c.stroke, 1e-9);
        EXPECT_NEAR(letter[2].x, c.left + width - 2 * c.stroke, 1e-9);
        EXPECT_NEAR(letter[3].x, c.left + width - 3 * c.stroke, 1e-9);
    }
}

TEST(LogoCatGrid, SleepyWithReducedMotionShowsOneLetter)
{
    const Pose still = LogoCatMotion::pose(E::sleepy, 10, true);
    const auto accent = withColour(cells(E::sleepy, still), Colours::accent);
    ASSERT_EQ(accent.size(), 8u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(accent[i].opacity, 0) << "the letter at phase 0 is invisible";
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(accent[i].opacity, 1) << "the letter at phase 0.5 shows";
}

TEST(LogoCatGrid, DelightedWithReducedMotionShowsSparklesAtFullPhase)
{
    const Pose still = LogoCatMotion::pose(E::delighted, 3, true);
    EXPECT_EQ(still.sparkle, 1);
    const auto twinkles = withColour(cells(E::delighted, still), Colours::accent);
    ASSERT_EQ(twinkles.size(), 6u);
    EXPECT_NEAR(twinkles[0].opacity, 0.35, 1e-9);  // nearness 0
    EXPECT_NEAR(twinkles[2].opacity, 0.675, 1e-9); // half nearness
    EXPECT_NEAR(twinkles[4].opacity, 0.5125, 1e-9);
    // The first arm at nearness 0: 3.5 x 0.55 long; 0.32 of that would be thinner than 0.9 units.
    EXPECT_NEAR(twinkles[0].width, 1.925, 1e-9);
    EXPECT_NEAR(twinkles[0].height, 0.9, 1e-9);
    EXPECT_NEAR(twinkles[1].width, 0.9, 1e-9);
    // The second at half nearness: 2.6 x 0.775 long, and also kept at 0.9 thick.
    EXPECT_NEAR(twinkles[2].width, 2.015, 1e-9);
    EXPECT_NEAR(twinkles[2].height, 0.9, 1e-9);
}

TEST(LogoCatGrid, BlocksLandOnWholePointsAndNeverVanish)
{
    struct Case
    {
        Cell cell;
        double scale;
        QRect rect;
    };
    const Case cases[] = {
        {{17, 17, 2, 2, Colours::nose, 1}, 1, QRect(25, 26, 2, 2)},         // height 38: one unit a point
        {{17, 17, 2, 2, Colours::nose, 1}, 0.5, QRect(13, 13, 1, 1)},       // height 19: 1-point nose
        {{-4, 14, 4, 4, Colours::fur, 1}, 0.5, QRect(2, 12, 2, 2)},         // 11.5 rounds away from zero
        {{38, -0.5, 3, 3, Colours::accent, 1}, 1, QRect(46, 9, 3, 3)},      // 8.5 rounds up
        {{36, 20, 0.9, 0.2, Colours::accent, 1}, 0.25, QRect(11, 7, 1, 1)}, // thin arms keep a point
    };
    for (const Case& c : cases)
        EXPECT_EQ(pixelRect(c.cell, c.scale), c.rect) << c.cell.x << "," << c.cell.y << " at " << c.scale;
}

TEST(LogoCatMotion, PosesOverTime)
{
    struct Case
    {
        E expression;
        double seconds;
        double bob;
        double paw;
        double drift;
        double sparkle;
    };
    const Case cases[] = {
        {E::greeting, 0, 0, 0, 0, 0},       {E::greeting, 0.42, -0.5, -3, 0, 0},
        {E::greeting, 0.84, -1, 0, 0, 0},   {E::working, 1.0, -1, 0, 0, 0},
        {E::working, 2.0, 0, 0, 0, 0},      {E::alert, 5, -2, 0, 0, 0},
        {E::sleepy, 2.4, -1, 0, 0.923, 0},  {E::sleepy, 4.8, 0, 0, 0.846, 0},
        {E::sleepy, 1.3, -0.57, 0, 0.5, 0}, {E::asking, 2.8, 0, -3, 0, 0},
        {E::delighted, 5.5, -2.5, 0, 0, 1}, {E::delighted, 1.1, -0.2, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(toString(c.expression)) + " at " + std::to_string(c.seconds));
        const Pose p = LogoCatMotion::pose(c.expression, c.seconds, false);
        EXPECT_NEAR(p.bob, c.bob, 0.02);
        EXPECT_NEAR(p.paw, c.paw, 0.02);
        EXPECT_NEAR(p.drift, c.drift, 0.02);
        EXPECT_NEAR(p.sparkle, c.sparkle, 0.02);
    }
}

TEST(LogoCatMotion, ReducedMotionStandsStillAndNeverBlinks)
{
    for (E expression : kAllLogoCatExpressions) {
        SCOPED_TRACE(toString(expression));
        for (double t : {0.0, 0.3, 1.7, 9.0}) {
            const Pose p = LogoCatMotion::pose(expression, t, true);
            EXPECT_EQ(p.bob, 0);
            EXPECT_EQ(p.paw, 0);
            EXPECT_EQ(p.drift, 0);
        }
        EXPECT_FALSE(LogoCatMotion::blinks(expression, true));
    }
    EXPECT_TRUE(LogoCatMotion::blinks(E::working, false));
    EXPECT_FALSE(LogoCatMotion::blinks(E::sleepy, false));
}

class LogoCatView : public ::testing::Test
{
  protected:
    test::ManualScheduler time;
    ViewTicker ticker{time, time};
};

TEST_F(LogoCatView, BlinksWhileShownAndStopsWhenTheFaceHasClosedEyes)
{
    LogoCat cat(ticker, time, E::working, 38);
    EXPECT_EQ(cat.size(), QSize(52, 38));
    cat.show();
    EXPECT_TRUE(cat.isTicking());
    time.advance(std::chrono::milliseconds(LogoCat::kBlinkMax));
    // Some blink began within the longest wait; it lasts 110 ms.
    bool sawBlink = cat.isBlinking();
    for (int i = 0; i < 2 && !sawBlink; ++i) {
        time.advance(std::chrono::milliseconds(55));
        sawBlink = cat.isBlinking();
    }
    time.advance(std::chrono::milliseconds(LogoCat::kBlinkMax) * 3);
    cat.setExpression(E::sleepy);
    EXPECT_FALSE(cat.isBlinking());
    for (int i = 0; i < 100; ++i) {
        time.advance(std::chrono::milliseconds(100));
        ASSERT_FALSE(cat.isBlinking());
    }
    EXPECT_TRUE(cat.isTicking()) << "sleepy still breathes";
    cat.hide();
    EXPECT_FALSE(cat.isTicking());
}

TEST_F(LogoCatView, ChangingTheExpressionRestartsFromRest)
{
    LogoCat cat(ticker, time, E::working, 38);
    cat.show();
    time.advance(std::chrono::milliseconds(1000));
    EXPECT_NEAR(cat.pose().bob, -1, 0.02);
    cat.setExpression(E::sleepy);
    EXPECT_EQ(cat.pose().bob, 0);
    time.advance(std::chrono::milliseconds(1300));
    EXPECT_NEAR(cat.pose().drift, 0.5, 0.01);
}

TEST_F(LogoCatView, ReducedMotionNeedsNoFrameClock)
{
    LogoCat cat(ticker, time, E::alert, 104);
    cat.setReduceMotion(true);
    cat.show();
    EXPECT_FALSE(cat.isTicking());
    EXPECT_EQ(time.pendingCount(), 0u) << "no blink timer either";
}

TEST_F(LogoCatView, PaintsThe2UnitNoseAsOnePointAtHalfSize)
{
    QImage image(LogoCat::widthFor(19), 19, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    LogoCat::paint(painter, E::working, Pose{}, 19);
    painter.end();
    const QColor nose = Colours::nose.toQColor();
    int nosePixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            nosePixels += image.pixelColor(x, y).rgb() == nose.rgb();
    EXPECT_EQ(nosePixels, 1);
}
