#include "UI/Kit/ViewTicker.h"
#include "UI/CardFrame.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/SessionMark.h"

#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QVBoxLayout>
#include <QWindow>
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
    auto self = ticker.subscribe(ViewTicker::Period::step, [&] { other.reset(); });
    other = ticker.subscribe(ViewTicker::Period::step, [&] { ++otherTicks; });
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
    EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::step));

    // Collapsing the panel hides the list: every timer stops.
    panel.hide();
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::step));
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::minute));

    panel.show();
    EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::step));
    card->setAccent(CardAccent{QColor(Qt::green), false});
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::step)) << "a steady accent needs no steps";

    scheduler.advance(minutes(3));
    EXPECT_EQ(elapsed->text(), "3m");
}

namespace {

// Gathers what a widget is asked to repaint.
class PaintRecorder final : public QObject
{
  public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

} // namespace

TEST(ViewTickerTest, ATickRepaintsOnlyWhatMoves)
{
    test::ManualScheduler scheduler;
    ViewTicker ticker(scheduler, scheduler);
    QWidget panel;
    panel.resize(520, 200);
    auto* card = new CardFrame(ticker, &panel);
    card->setGeometry(10, 10, 420, 130);
    auto* content = new QWidget(card); // the card's texts and controls
    content->setGeometry(card->contentsRect());
    auto* mark = new SessionMark(AgentKind::claudeCode, QColor(Qt::yellow), true, &panel, &ticker);
    mark->setGeometry(QRect(QPoint(450, 20), mark->sizeHint()));
    card->setAccent(CardAccent{QColor(Qt::green), true});
    PaintRecorder cardPaints(card);
    PaintRecorder contentPaints(content);
    PaintRecorder markPaints(mark);
    panel.show();
    ASSERT_TRUE(
        test::waitUntil([&] { return panel.windowHandle()->isExposed() && !cardPaints.painted.isEmpty(); }));
    cardPaints.painted = contentPaints.painted = markPaints.painted = QRegion();

    // Two steps: the breath moves and the spinner turns.
    scheduler.advance(ViewTicker::kStepInterval * 2);
    ASSERT_TRUE(
        test::waitUntil([&] { return !cardPaints.painted.isEmpty() && !markPaints.painted.isEmpty(); }));
    EXPECT_TRUE(cardPaints.painted.subtracted(card->accentRegion()).isEmpty()) << "only the glow and outline";
    EXPECT_FALSE(cardPaints.painted.contains(card->rect().center()));
    EXPECT_TRUE(contentPaints.painted.translated(content->pos()).subtracted(card->accentRegion()).isEmpty());
    EXPECT_TRUE(markPaints.painted.subtracted(mark->turnRect()).isEmpty()) << "the turning mark, not its pip";
    EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame)) << "neither needs every display frame";
}
