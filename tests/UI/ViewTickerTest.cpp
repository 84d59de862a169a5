#include "UI/ViewTicker.h"
#include "UI/CardFrame.h"
#include "UI/ElapsedText.h"

#include "support/ManualScheduler.h"

#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono;

TEST(ViewTickerTest, OneTimerPerPeriodWhileSomeoneListens)
{
    test::ManualScheduler scheduler;
    ViewTicker ticker(scheduler, scheduler);
    int a = 0;
    int b = 0;
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame));
    auto first = ticker.subscribe(ViewTicker::Period::frame, [&] { ++a; });
    auto second = ticker.subscribe(ViewTicker::Period::frame, [&] { ++b; });
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    scheduler.advance(ViewTicker::kFrameInterval * 3);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 3);
    first.reset();
    scheduler.advance(ViewTicker::kFrameInterval);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    second = ViewTicker::Subscription();
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(ViewTickerTest, MinuteTicksFallOnTheWallClockMinute)
{
    test::ManualScheduler scheduler;
    scheduler.setWallTime(Clock::WallTime(seconds(1'700'000'000 / 60 * 60 + 30))); // hh:mm:30
    ViewTicker ticker(scheduler, scheduler);
    int ticks = 0;
    auto subscription = ticker.subscribe(ViewTicker::Period::minute, [&] { ++ticks; });
    scheduler.advance(seconds(29));
    EXPECT_EQ(ticks, 0);
    scheduler.advance(seconds(1));
    EXPECT_EQ(ticks, 1);
    scheduler.advance(seconds(60));
    EXPECT_EQ(ticks, 2);
}

TEST(ViewTickerTest, AListenerMayEndSubscriptionsWhileTicking)
{
    test::ManualScheduler scheduler;
    ViewTicker ticker(scheduler, scheduler);
    ViewTicker::Subscription other;
    int otherTicks = 0;
    auto self = ticker.subscribe(ViewTicker::Period::frame, [&] { other.reset(); });
    other = ticker.subscribe(ViewTicker::Period::frame, [&] { ++otherTicks; });
    scheduler.advance(ViewTicker::kFrameInterval * 2);
    EXPECT_EQ(otherTicks, 0);
    // A subscription that outlives its ticker ends quietly.
    auto ticker2 = std::make_unique<ViewTicker>(scheduler, scheduler);
    auto orphan = ticker2->subscribe(ViewTicker::Period::minute, [] {});
    ticker2.reset();
    orphan.reset();
}

TEST(ViewTickerTest, TimeDrivenViewsTickOnlyWhileShown)
{
    test::ManualScheduler scheduler;
    ViewTicker ticker(scheduler, scheduler);
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* card = new CardFrame(ticker, &panel);
    auto* elapsed = new ElapsedText(scheduler.now(), ticker, &panel);
    layout->addWidget(card);
    layout->addWidget(elapsed);
    card->setAccent(CardAccent{QColor(Qt::green), true});
    EXPECT_FALSE(card->isAnimating()) << "not on screen yet";
    EXPECT_FALSE(elapsed->isTicking());

    panel.show();
    EXPECT_TRUE(card->isAnimating());
    EXPECT_TRUE(elapsed->isTicking());
    EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::frame));

    // Collapsing the panel hides the list: every timer stops.
    panel.hide();
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame));
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::minute));

    panel.show();
    EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::frame));
    card->setAccent(CardAccent{QColor(Qt::green), false});
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame)) << "a steady accent needs no frames";

    scheduler.advance(minutes(3));
    EXPECT_EQ(elapsed->text(), "3m");
}
