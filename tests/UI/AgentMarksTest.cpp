#include "Core/Session.h"
#include "UI/AgentBadge.h"
#include "UI/AgentIcon.h"
#include "UI/BrandGlyph.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/SessionMark.h"
#include "UI/SessionSignal.h"
#include "support/ManualScheduler.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono;

namespace {

QImage canvas(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    return image;
}

int pixelsLike(const QImage& image, const QColor& colour, int tolerance = 40)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                    std::abs(p.blue() - colour.blue()) <
                tolerance)
                ++count;
        }
    return count;
}

} // namespace

TEST(AgentMarksTest, IconStylePerKind)
{
    struct Case
    {
        AgentKind kind;
        const char* asset;
        QColor tint;
    };
    const Case cases[] = {
        {AgentKind::claudeCode, "brand-claude", Palette::rgb(0.851, 0.467, 0.341)},
        {AgentKind::codex, "brand-codex", Qt::white},
        {AgentKind::cursor, "brand-cursor", Qt::white},
        {AgentKind::gemini, "brand-gemini", Palette::rgb(0.192, 0.525, 1.0)},
        {AgentKind::qwen, "brand-qwen", Palette::rgb(0.435, 0.412, 0.969)},
        {AgentKind::opencode, "brand-opencode", Qt::white},
        {AgentKind::detected, "brand-unknown", Palette::rgb(0.62, 0.62, 0.62)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asset);
        const AgentIconStyle style = iconStyle(c.kind);
        EXPECT_EQ(style.asset, c.asset);
        EXPECT_EQ(style.tint, c.tint);
        EXPECT_EQ(style.tint.alphaF(), 1.0);
        EXPECT_TRUE(BrandGlyph::exists(style.asset));
    }
}

TEST(AgentMarksTest, MissingMarkDrawsTheGreyUnknownMark)
{
    QImage missing = canvas(QSize(40, 40));
    QImage unknown = canvas(QSize(40, 40));
    {
        QPainter painter(&missing);
        AgentIcon::paintGlyph(painter, QRectF(0, 0, 40, 40), "brand-nothing", Qt::red);
    }
    {
        QPainter painter(&unknown);
        AgentIcon::paintGlyph(painter, QRectF(0, 0, 40, 40), "brand-unknown", Palette::rgb(0.62, 0.62, 0.62));
    }
    EXPECT_EQ(missing, unknown);
    EXPECT_EQ(pixelsLike(missing, Qt::red), 0);
    EXPECT_GT(pixelsLike(missing, Palette::rgb(0.62, 0.62, 0.62), 6), 200);
}

TEST(AgentMarksTest, BadgeTextAndSize)
{
    struct Case
    {
        int count;
        const char* text;
    };
    for (const Case& c : {Case{-1, ""}, Case{0, ""}, Case{1, "1"}, Case{9, "9"}, Case{10, "9+"},
                          Case{57, "9+"}, Case{1'000'000, "9+"}}) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(AgentBadge::text(c.count), c.text);
        const QSizeF size = AgentBadge::size(c.count);
        if (c.count < 1) {
            EXPECT_TRUE(size.isEmpty());
        } else {
            EXPECT_GE(size.width(), 11);
            EXPECT_GE(size.height(), 11);
        }
    }
    EXPECT_GT(AgentBadge::size(10).width(), AgentBadge::size(9).width());
}

TEST(AgentMarksTest, BadgeDrawsRedBubbleOnlyForACount)
{
    const QColor red = Palette::rgb(1.0, 0.373, 0.341);
    for (const int count : {0, 3, 12}) {
        SCOPED_TRACE(count);
        QImage image = canvas(QSize(30, 20));
        {
            QPainter painter(&image);
            AgentBadge::paint(painter, QRectF(QPointF(4, 4), AgentBadge::size(count)), count);
        }
        EXPECT_EQ(pixelsLike(image, red) > 20, count > 0);
        EXPECT_EQ(pixelsLike(image, Qt::white) > 3, count > 0) << "white digits";
    }
}

TEST(AgentMarksTest, SpinTurnsOnceEveryFourSecondsInTwentyStepsASecond)
{
    const auto reference = Clock::WallTime(seconds(978'307'200));
    struct Case
    {
        Clock::WallTime::duration after;
        double degrees;
    };
    for (const Case& c :
         {Case{seconds(0), 0}, Case{seconds(1), 90}, Case{seconds(2), 180}, Case{seconds(4), 0},
          Case{milliseconds(1'020), 90}, Case{milliseconds(1'050), 94.5}, Case{seconds(-1), -90}}) {
        EXPECT_NEAR(AgentIcon::spinAngle(reference + c.after), c.degrees, 1e-6)
            << duration_cast<milliseconds>(c.after).count();
    }
}

TEST(AgentMarksTest, SessionMarkDrawsItsPipOnlyWhenGiven)
{
    const QColor orange = AuroraStyle::systemOrange();
    for (const bool withPip : {false, true}) {
        SCOPED_TRACE(withPip);
        SessionMark mark(AgentKind::codex, withPip ? std::optional<QColor>(orange) : std::nullopt, false);
        mark.resize(mark.sizeHint());
        EXPECT_GE(mark.width(), 20);
        QImage image = canvas(mark.size());
        mark.render(&image);
        EXPECT_EQ(pixelsLike(image, orange) > 10, withPip);
        // The pip sits at the icon's top-right corner and reaches past it.
        EXPECT_GT(SessionMark::pipRect().right(), SessionMark::iconOrigin().x() + 20);
        EXPECT_LT(SessionMark::pipRect().top(), SessionMark::iconOrigin().y());
        EXPECT_GE(SessionMark::pipRect().top(), 0);
    }
}

TEST(AgentMarksTest, SignalColourByStatusAndWaiting)
{
    const Clock::WallTime now = Clock::WallTime(seconds(1'800'000'000));
    const QColor redOrange = Palette::rgb(1.0, 0.42, 0.28);
    const QColor blue = Palette::rgb(0.35, 0.65, 1.0);
    struct Case
    {
        const char* name;
        SessionStatus status;
        std::optional<Clock::WallTime::duration> waited;
        bool seen;
        QColor expected;
    };
    const Case cases[] = {
        {"working", SessionStatus::Working{}, std::nullopt, false, Palette::rgb(0.91, 0.91, 0.91)},
        {"permission", SessionStatus::NeedsPermission{}, seconds(10), false, AuroraStyle::systemOrange()},
        {"permission without since", SessionStatus::NeedsPermission{}, std::nullopt, false,
         AuroraStyle::systemOrange()},
        {"question at 300 s", SessionStatus::WaitingForInput{}, seconds(300), false, blue},
        {"question at 300.5 s", SessionStatus::WaitingForInput{}, milliseconds(300'500), false, redOrange},
        {"question at 301 s", SessionStatus::WaitingForInput{}, seconds(301), false, redOrange},
        {"permission overdue", SessionStatus::NeedsPermission{}, hours(3), false, redOrange},
        {"working with stale since", SessionStatus::Working{}, hours(3), false,
         Palette::rgb(0.91, 0.91, 0.91)},
        {"done unread", SessionStatus::Done{}, std::nullopt, false, SessionSignal::doneUnread()},
        {"done read", SessionStatus::Done{}, std::nullopt, true, SessionSignal::doneRead()},
        {"idle", SessionStatus::Idle{}, std::nullopt, false, Palette::rgb(0.36, 0.36, 0.36)},
        {"ended", SessionStatus::Ended{}, std::nullopt, false, Palette::rgb(0.36, 0.36, 0.36)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.status = c.status;
        if (c.waited)
            session.attentionSince = now - *c.waited;
        if (c.seen)
            session.doneSeenAt = now;
        EXPECT_EQ(SessionSignal::color(session, now), c.expected);
    }
    EXPECT_NEAR(SessionSignal::doneRead().alphaF(), 0.35, 0.001);
    EXPECT_EQ(SessionSignal::doneUnread().rgb(), SessionSignal::doneRead().rgb());
}

TEST(AgentMarksTest, ASpinningIconTurnsOnlyWhileItCanBeSeen)
{
    test::ManualScheduler clock;
    ViewTicker ticker(clock, clock);
    const auto frames = [&] { return ticker.isRunning(ViewTicker::Period::step); };
    QWidget sheet;
    auto* icon = new AgentIcon(AgentKind::claudeCode, 16, true, &sheet, &ticker);
    auto* other = new SessionMark(AgentKind::codex, std::nullopt, true, &sheet, &ticker);
    auto* still = new AgentIcon(AgentKind::gemini, 16, true, &sheet);
    EXPECT_FALSE(icon->isTurning()) << "never shown";
    EXPECT_FALSE(frames());
    sheet.show();
    EXPECT_TRUE(icon->isTurning());
    EXPECT_TRUE(other->isTurning());
    EXPECT_FALSE(still->isTurning()) << "without a ticker the icon is a still picture";
    sheet.hide(); // a collapsing sheet hides its cards
    EXPECT_FALSE(icon->isTurning());
    EXPECT_FALSE(frames()) << "nothing on screen turns: the shared timer stops";
    sheet.show();
    EXPECT_TRUE(icon->isTurning());
    icon->setSpinning(false);
    EXPECT_FALSE(icon->isTurning());
    EXPECT_TRUE(frames()) << "the other icon still turns";
    other->setSpinning(false);
    EXPECT_FALSE(frames());
}
