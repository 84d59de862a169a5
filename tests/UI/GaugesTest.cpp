#include "UI/ContextIndicator.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/UsageGauge.h"
#include "UI/UsageRing.h"
#include "UI/UsageStrip.h"
#include "support/ManualScheduler.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace velquist;
using namespace std::chrono;

namespace {

QuotaWindow window(std::string id, std::string name, double percent)
{
    return {std::move(id), std::move(name), percent, std::nullopt};
}

UsageReading reading(std::vector<QuotaWindow> windows, bool enabled = true)
{
    return {enabled, QuotaData{std::move(windows), std::nullopt, {}}, UsageProvider::claude};
}

QImage render(QWidget& widget)
{
    widget.resize(widget.sizeHint().expandedTo(QSize(1, 1)));
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image);
    return image;
}

// Pixels that carry the hue of `colour` (not the track's grey).
int tinted(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.hsvSaturationF() > 0.3 && std::abs(p.hsvHueF() - colour.hsvHueF()) < 0.04)
                ++count;
        }
    return count;
}

std::vector<std::string> ids(const std::vector<QuotaWindow>& windows)
{
    std::vector<std::string> result;
    for (const QuotaWindow& w : windows)
        result.push_back(w.id);
    return result;
}

} // namespace

TEST(ContextIndicatorTest, ColourArcAndTextByFill)
{
    const QColor green = AuroraStyle::gaugeGreen(), amber = AuroraStyle::gaugeAmber(),
                 red = AuroraStyle::gaugeRed();
    const QColor dim = Palette::white(0.5);
    struct Case
    {
        std::int64_t tokens, limit;
        QColor gauge;
        double arc;
        QColor text;
    };
    const Case cases[] = {
        {0, 0, green, 0.02, dim},
        {50'000, 0, green, 0.02, dim},
        {0, 200'000, green, 0.02, dim},
        {-5'000, 200'000, green, 0.02, dim},
        {100'000, 200'000, green, 0.5, dim},
        {139'999, 200'000, green, 139'999.0 / 200'000, dim},
        {140'000, 200'000, amber, 0.7, amber},
        {179'999, 200'000, amber, 179'999.0 / 200'000, amber},
        {180'000, 200'000, red, 0.9, red},
        {260'000, 200'000, red, 1.0, red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.tokens) + "/" + std::to_string(c.limit));
        const ContextUsage usage{c.tokens, c.limit, std::nullopt};
        EXPECT_EQ(ContextIndicator::gaugeColour(usage), c.gauge);
        EXPECT_NEAR(ContextIndicator::arcFraction(usage), c.arc, 1e-9);
        EXPECT_EQ(ContextIndicator::textColour(usage), c.text);
    }
    EXPECT_EQ(ContextIndicator::tooltip({0, 0, std::nullopt}), "Context: 0 / 0");
    EXPECT_EQ(ContextIndicator::tooltip({150'000, 200'000, std::nullopt}), "Context: 150k / 200k");
}

TEST(ContextIndicatorTest, RendersRingAndPercentage)
{
    ContextIndicator indicator({185'000, 200'000, std::nullopt});
    EXPECT_EQ(indicator.toolTip(), "Context: 185k / 200k");
    const QImage image = render(indicator);
    EXPECT_GE(image.height(), 12);
    EXPECT_GT(image.width(), 12 + 4 + 10) << "room for the percentage";
    EXPECT_GT(tinted(image, AuroraStyle::gaugeRed()), 20);
}

TEST(UsageRingTest, ChoosesTheSessionWindowElseTheMostUsed)
{
    EXPECT_EQ(
        UsageRing::window(reading({window("weekly", "Weekly", 45), window("session", "Session", 80)}))->id,
        "session");
    EXPECT_EQ(UsageRing::window(reading({window("a", "A", 60), window("b", "B", 60)}))->id, "a");
    EXPECT_FALSE(UsageRing::window(reading({window("session", "Session", 80)}, false))) << "usage off";
    EXPECT_FALSE(UsageRing::window(UsageReading{true, std::nullopt, UsageProvider::claude}))
        << "nothing read";
    EXPECT_FALSE(UsageRing::window(reading({})));
}

TEST(UsageRingTest, SizeNumberAndColourRules)
{
    struct SizeCase
    {
        qreal barHeight, ring, points;
    };
    for (const SizeCase& c :
         {SizeCase{32, 20, 8}, SizeCase{10, 14, 7}, SizeCase{24, 18, 7.2}, SizeCase{0, 14, 7}}) {
        EXPECT_EQ(UsageRing::ringSize(c.barHeight), c.ring) << c.barHeight;
        EXPECT_NEAR(UsageRing::numberPoints(UsageRing::ringSize(c.barHeight)), c.points, 1e-9) << c.barHeight;
    }

    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double percent;
        const char* ringNumber;
        const char* gaugeText;
        double fill;
        QColor ring;
        QColor bar;
    };
    const Case cases[] = {
        {0, "0", "0%", 0, AuroraStyle::gaugeGreen(), Palette::white(0.35)},
        {69.6, "69", "70%", 0.696, AuroraStyle::gaugeGreen(), Palette::white(0.35)},
        {70, "70", "70%", 0.7, AuroraStyle::gaugeAmber(), AuroraStyle::systemOrange()},
        {89.5, "89", "90%", 0.895, AuroraStyle::gaugeAmber(), AuroraStyle::systemOrange()},
        {90, "90", "90%", 0.9, AuroraStyle::gaugeRed(), AuroraStyle::systemRed()},
        {130, "130", "130%", 1, AuroraStyle::gaugeRed(), AuroraStyle::systemRed()},
        {-12, "0", "0%", 0, AuroraStyle::gaugeGreen(), Palette::white(0.35)},
        {nan, "0", "0%", 0, AuroraStyle::gaugeGreen(), Palette::white(0.35)},
        {inf, "999", "999%", 1, AuroraStyle::gaugeRed(), AuroraStyle::systemRed()},
        {-inf, "0", "0%", 0, AuroraStyle::gaugeGreen(), Palette::white(0.35)},
        {1e300, "999", "999%", 1, AuroraStyle::gaugeRed(), AuroraStyle::systemRed()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(UsageRing::numberText(c.percent), c.ringNumber);
        EXPECT_EQ(UsageStrip::percentText(c.percent), c.gaugeText);
        EXPECT_NEAR(UsageGauge::fillFraction(c.percent), c.fill, 1e-9);
        EXPECT_EQ(UsageGauge::ringColour(c.percent), c.ring);
        EXPECT_EQ(UsageGauge::fillColour(c.percent), c.bar);
    }
}

TEST(UsageRingTest, FilledArcGrowsWithThePercentage)
{
    int previous = -1;
    for (const double percent : {0.0, 20.0, 45.0, 65.0}) {
        UsageRing ring(reading({window("session", "Session", percent)}), 32);
        const QImage image = render(ring);
        ASSERT_EQ(image.size(), QSize(20, 20));
        const int arc = tinted(image, AuroraStyle::gaugeGreen());
        EXPECT_GT(arc, previous) << percent;
        previous = arc;
    }
    UsageRing off(reading({window("session", "Session", 50)}, false), 32);
    EXPECT_EQ(off.sizeHint(), QSize(0, 0));
}

TEST(UsageRingTest, TooltipRoundsAndAddsTheResetTime)
{
    test::ManualScheduler clock;
    QuotaWindow session = window("session", "Session", 69.5);
    EXPECT_EQ(UsageGauge::tooltip(session, clock.now()), "Session: 70% used");
    session.resetsAt = clock.now() + minutes(90);
    EXPECT_EQ(UsageGauge::tooltip(session, clock.now()), "Session: 70% used, resets in 1h 30m");
    session.resetsAt = clock.now() + milliseconds(400);
    EXPECT_EQ(UsageGauge::tooltip(session, clock.now()), "Session: 70% used");
    session.usagePercent = -0.5;
    EXPECT_EQ(UsageGauge::tooltip(session, clock.now()), "Session: 0% used");

    UsageRing ring(reading({window("weekly", "Weekly", 12.4)}), 32, nullptr, &clock);
    EXPECT_EQ(ring.toolTip(), "Weekly: 12% used");
}

TEST(UsageStripTest, DisplayWindowsAndLabels)
{
    const QuotaData quota{{window("opus", "Opus Weekly", 10), window("weekly", "Weekly", 45),
                           window("session", "Session", 80), window("extra", "Extra", 5)},
                          std::nullopt,
                          {}};
    EXPECT_EQ(ids(UsageStrip::displayWindows(quota)),
              (std::vector<std::string>{"session", "weekly", "opus"}));
    EXPECT_EQ(ids(UsageStrip::displayWindows(QuotaData{{window("a", "A", 1), window("b", "B", 2)}, {}, {}})),
              (std::vector<std::string>{"a", "b"}));

    struct Case
    {
        QuotaWindow window;
        const char* label;
    };
    for (const Case& c :
         {Case{window("session", "Anything", 1), "5h"}, Case{window("weekly", "Weekly", 1), "week"},
          Case{window("weekly-opus", "Opus Weekly", 1), "Opus"},
          Case{window("weekly-x", "Weekly Sonnet", 1), "Sonnet"},
          Case{window("lower", "opus weekly", 1), "opus weekly"}, Case{window("plain", "Daily", 1), "Daily"}})
        EXPECT_EQ(UsageStrip::gaugeLabel(c.window), c.label) << c.window.displayName;
}

TEST(UsageStripTest, ShowsNothingWhenOffOrUnread)
{
    struct Case
    {
        const char* name;
        UsageReading reading;
        bool shows;
    };
    const Case cases[] = {
        {"off with a quota", reading({window("session", "Session", 10)}, false), false},
        {"nothing read", UsageReading{true, std::nullopt, UsageProvider::codex}, false},
        {"no windows", reading({}), false},
        {"one window", reading({window("session", "Session", 10)}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsageStrip strip(c.reading);
        EXPECT_EQ(strip.isShowing(), c.shows);
        EXPECT_EQ(strip.sizeHint().isEmpty(), !c.shows);
    }
}

TEST(UsageStripTest, GaugesFitAndFillByPercentage)
{
    UsageStrip strip(reading({window("session", "Session", 100), window("weekly", "Weekly", 0)}));
    const QImage image = render(strip);
    EXPECT_GE(image.height(), 14 + 2 * 6);
    const auto rects = strip.gaugeRects();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_LE(rects.back().right(), image.width() - UsageStrip::kPaddingX + 1);
    EXPECT_GT(tinted(image, AuroraStyle::systemRed()), 58 * 10) << "the full bar is red";
}
