#include "Characters/IntroCardButton.h"
#include "Characters/IntroCardPanel.h"
#include "Characters/IntroCardView.h"
#include "Characters/IntroStyle.h"

#include "support/ManualScheduler.h"
#include "support/RecordingPanelShaper.h"
#include "support/WaitUntil.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace velquist;
using Step = IntroStep;
using namespace std::chrono_literals;

namespace {

class IntroCardTest : public ::testing::Test
{
  protected:
    IntroCardCallbacks record()
    {
        return {[this] { pressed.push_back("primary"); }, [this] { pressed.push_back("secondary"); },
                [this] { pressed.push_back("back"); }, [this] { pressed.push_back("skip"); }};
    }
    IntroStepContent content(Step step) { return IntroStepTexts::content(step, {{"Codex", true}}); }

    test::ManualScheduler time;
    ViewTicker ticker{time, time};
    std::vector<std::string> pressed;
};

} // namespace

TEST_F(IntroCardTest, ButtonsAndKeysOfEachStep)
{
    struct Case
    {
        Step step;
        QStringList buttons;
        std::vector<std::string> keys; // Return, Escape, left arrow
    };
    const Case cases[] = {
        {Step::welcome, {"Skip tour", "Sure, let's go"}, {"primary", "skip"}},
        {Step::working, {"Back", "Skip tour", "Got it"}, {"primary", "skip", "back"}},
        {Step::jump, {"Back", "Skip tour", "Got it"}, {"primary", "skip", "back"}},
        {Step::ready, {"Back", "Let me at it"}, {"primary", "back"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons.join(", ").toStdString());
        IntroCardView view(ticker, time, content(c.step), record());
        EXPECT_EQ(view.buttonTitles(), c.buttons);
        EXPECT_EQ(view.width(), IntroCardView::kWidth);
        pressed.clear();
        for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Left})
            QTest::keyClick(&view, Qt::Key(key));
        EXPECT_EQ(pressed, c.keys);
        pressed.clear();
        for (const QString& title : c.buttons)
            EXPECT_TRUE(view.clickButton(title));
        EXPECT_EQ(pressed.size(), std::size_t(c.buttons.size()));
    }
}

TEST_F(IntroCardTest, HeightFollowsTheContent)
{
    IntroCardView view(ticker, time, content(Step::welcome), record());
    const int welcome = view.height();
    EXPECT_GE(welcome, 30 + 2 + 104 + 26 + 30) << "at least the cat and the buttons";
    view.setContent(content(Step::jump));
    EXPECT_GT(view.height(), welcome + 100) << "three paragraphs and the guide";
    EXPECT_EQ(view.sizeHint().height(), view.height());
}

TEST_F(IntroCardTest, ProgressBarsLightUpToTheStep)
{
    IntroStepContent four = content(Step::local);
    ASSERT_EQ(four.index, 4);
    IntroCardView view(ticker, time, four, record());
    const QImage picture = view.grab().toImage();
    const qreal dpr = picture.devicePixelRatio();
    const auto barColour = [&](int i) {
        return picture.pixelColor(int((34 + i * 31 + 13) * dpr), int(31 * dpr));
    };
    EXPECT_EQ(barColour(0).rgb(), IntroStyle::dawn()[0].rgb());
    EXPECT_EQ(barColour(3).rgb(), IntroStyle::dawn()[3].rgb());
    EXPECT_EQ(barColour(4).rgb(), IntroStyle::dawn()[3].rgb());
    for (int dim : {5, 6}) {
        EXPECT_LT(barColour(dim).lightness(), 90) << "bar " << dim << " is spent";
        EXPECT_NE(barColour(dim).rgb(), IntroStyle::dawn()[3].rgb());
    }
}

// The opacities of the controls that fade in with a new step (1 for one drawn plainly).
std::vector<double> fadingIn(const IntroCardView& view)
{
    std::vector<double> opacities;
    for (QWidget* child : view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible() || !(qobject_cast<IntroCardButton*>(child) || child->graphicsEffect()))
            continue;
        const auto* effect = qobject_cast<QGraphicsOpacityEffect*>(child->graphicsEffect());
        opacities.push_back(effect ? effect->opacity() : 1.0);
    }
    return opacities;
}

TEST_F(IntroCardTest, ANewStepOnScreenEasesIn)
{
    const int finalHeight = IntroCardView(ticker, time, content(Step::jump), record()).height();
    IntroCardView view(ticker, time, content(Step::welcome), record());
    view.show();
    const int from = view.height();
    // The centre of the bar that the jump step lights.
    const QPoint bar(34 + 5 * 31 + 13, 31);
    const QRgb unlit = view.grab().toImage().pixel(bar);

    view.setContent(content(Step::jump));
    EXPECT_TRUE(view.isTransitioning());
    EXPECT_EQ(view.height(), from) << "starts from the old height";
    EXPECT_EQ(view.buttonTitles(), (QStringList{"Back", "Skip tour", "Got it"}))
        << "the new buttons work at once";
    for (double opacity : fadingIn(view))
        EXPECT_EQ(opacity, 0);

    time.advance(144ms);
    EXPECT_GT(view.height(), from);
    EXPECT_LT(view.height(), finalHeight);
    EXPECT_EQ(view.sizeHint().height(), view.height());
    for (double opacity : fadingIn(view)) {
        EXPECT_GT(opacity, 0.2);
        EXPECT_LT(opacity, 0.8);
    }
    // The buttons ride on the bottom edge.
    IntroCardButton* primary = nullptr;
    for (IntroCardButton* button : view.findChildren<IntroCardButton*>())
        if (button->kind() == IntroCardButton::Kind::primary)
            primary = button;
    ASSERT_NE(primary, nullptr);
    const int gap = view.height() - primary->geometry().bottom();
    const QRgb midway = view.grab().toImage().pixel(bar);
    EXPECT_NE(midway, unlit) << "the bar springs toward its lit colour";

    time.advance(200ms);
    EXPECT_EQ(view.height(), finalHeight) << "the words and height take 0.28 s";
    EXPECT_EQ(view.height() - primary->geometry().bottom(), gap);
    time.advance(400ms);
    EXPECT_FALSE(view.isTransitioning()) << "the bars have settled too";
    for (double opacity : fadingIn(view))
        EXPECT_EQ(opacity, 1);
    const QColor lit = view.grab().toImage().pixelColor(bar);
    EXPECT_NE(view.grab().toImage().pixel(bar), midway);
    EXPECT_NEAR(lit.redF(), IntroStyle::dawn()[3].redF(), 0.02);
    EXPECT_EQ(view.sizeHint().height(), view.height());
}

TEST_F(IntroCardTest, ChangesAtOnceWithReducedMotionOffScreenOrFrozen)
{
    const int finalHeight = IntroCardView(ticker, time, content(Step::jump), record()).height();
    struct Case
    {
        const char* what;
        bool shown;
        bool reduceMotion;
        bool frozen;
    };
    const Case cases[] = {
        {"reduce motion", true, true, false},
        {"off screen", false, false, false},
        {"frozen while it fades out", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IntroCardView view(ticker, time, content(Step::welcome), record());
        view.setVisible(c.shown);
        view.setReduceMotion(c.reduceMotion);
        if (c.frozen)
            view.freeze();
        view.setContent(content(Step::jump));
        EXPECT_FALSE(view.isTransitioning());
        EXPECT_EQ(view.height(), finalHeight);
        for (double opacity : fadingIn(view))
            EXPECT_EQ(opacity, 1);
    }
}

TEST_F(IntroCardTest, FreezingMidChangeEndsItAtOnce)
{
    const int finalHeight = IntroCardView(ticker, time, content(Step::jump), record()).height();
    IntroCardView view(ticker, time, content(Step::welcome), record());
    view.show();
    view.setContent(content(Step::jump));
    time.advance(100ms);
    ASSERT_LT(view.height(), finalHeight);
    view.freeze();
    EXPECT_FALSE(view.isTransitioning());
    EXPECT_EQ(view.height(), finalHeight);
    for (double opacity : fadingIn(view))
        EXPECT_EQ(opacity, 1);
    time.advance(1s);
    EXPECT_EQ(view.height(), finalHeight);
}

TEST_F(IntroCardTest, AChangeMidChangeCarriesOnFromWhereTheCardIs)
{
    IntroCardView view(ticker, time, content(Step::welcome), record());
    view.show();
    view.setContent(content(Step::jump));
    time.advance(100ms);
    const int between = view.height();
    view.setContent(content(Step::ready));
    EXPECT_EQ(view.height(), between) << "no jump in height";
    EXPECT_EQ(view.buttonTitles(), (QStringList{"Back", "Let me at it"}));
    time.advance(1s);
    EXPECT_FALSE(view.isTransitioning());
    EXPECT_EQ(view.height(), IntroCardView(ticker, time, content(Step::ready), record()).height());
}

TEST(IntroCardPlacement, PlacedOnItsScreen)
{
    struct Case
    {
        const char* what;
        QRect screen;
        QSize card;
        bool rising;
        std::optional<QPoint> parked;
        QRect frame;
    };
    const Case cases[] = {
        {"resting", QRect(0, 0, 1440, 900), QSize(620, 300), false, {}, QRect(410, 414, 620, 300)},
        {"rising sits 14 lower",
         QRect(0, 0, 1440, 900),
         QSize(620, 300),
         true,
         {},
         QRect(410, 428, 620, 300)},
        {"tall card lifted above the bottom",
         QRect(0, 0, 1440, 900),
         QSize(620, 600),
         false,
         {},
         QRect(410, 276, 620, 600)},
        {"second screen",
         QRect(1440, -200, 1920, 1080),
         QSize(620, 300),
         false,
         {},
         QRect(2090, 297, 620, 300)},
        {"parked keeps its corner", QRect(0, 0, 1440, 900), QSize(620, 500), false, QPoint(32, 700),
         QRect(32, 700, 620, 500)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IntroCardPanel::placedFrame(c.screen, c.card, c.rising, c.parked), c.frame) << c.what;
}

class IntroCardPanelTest : public IntroCardTest
{
  protected:
    std::unique_ptr<IntroCardPanel> make(bool reduceMotion = true, bool translucent = true)
    {
        return std::make_unique<IntroCardPanel>(
            screen, content(Step::welcome), record(),
            IntroCardPanel::Services{ticker, time, reduceMotion, false, translucent, &shaper});
    }
    QRect screen{100, 50, 1600, 1000};
    test::RecordingPanelShaper shaper;
};

TEST_F(IntroCardPanelTest, KeepsItsTopEdgeAndItsShadowInsideTheWindow)
{
    auto panel = make();
    const QRect first = panel->cardGeometry();
    EXPECT_EQ(first, panel->frame(false));
    EXPECT_EQ(panel->window()->geometry(), first.marginsAdded(IntroCardPanel::kShadowMargins));
    panel->refresh(content(Step::jump));
    const QRect second = panel->cardGeometry();
    EXPECT_EQ(second.top(), first.top());
    EXPECT_GT(second.height(), first.height());
    EXPECT_EQ(panel->window()->geometry(), second.marginsAdded(IntroCardPanel::kShadowMargins));
    // The shadow fades out before the window's edge.
    const QImage shadow = IntroCardPanel::shadowImage(second.size());
    EXPECT_EQ(qAlpha(shadow.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shadow.pixel(shadow.width() - 1, shadow.height() - 1)), 0);
    EXPECT_GT(qAlpha(shadow.pixel(shadow.width() / 2, shadow.height() / 2)), 100);
}

TEST_F(IntroCardPanelTest, WithoutACompositorTheWindowIsCutToTheCardAndFollowsItsHeight)
{
    auto panel = make(true, false);
    QWidget* window = panel->window();
    EXPECT_FALSE(window->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(shaper.prepared, (std::vector<const QWindow*>{window->windowHandle()}));
    const auto inside = [&](QPoint global) { return window->mask().contains(window->mapFromGlobal(global)); };
    panel->refresh(content(Step::jump));
    const QRect card = panel->cardGeometry();
    EXPECT_TRUE(inside(card.center()));
    EXPECT_TRUE(inside(QPoint(card.center().x(), card.bottom() - 2)));
    // The shadow's margins and the rounded corners are cut away.
    EXPECT_FALSE(inside(card.topLeft() - QPoint(10, 10)));
    EXPECT_FALSE(inside(QPoint(card.center().x(), card.bottom() + 10)));
    EXPECT_FALSE(inside(card.topLeft()));
    EXPECT_TRUE(make()->window()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(shaper.prepared.size(), 1u) << "a see-through card is not readied";
}

TEST_F(IntroCardPanelTest, StepsAsideOnceAndOnlySideways)
{
    auto panel = make();
    const QRect before = panel->cardGeometry();
    panel->stepAside();
    EXPECT_TRUE(panel->isParked());
    EXPECT_EQ(panel->cardGeometry(), QRect(QPoint(screen.left() + 32, before.top()), before.size()));
    panel->refresh(content(Step::ready));
    EXPECT_EQ(panel->cardGeometry().topLeft(), QPoint(screen.left() + 32, before.top()));
}

TEST_F(IntroCardPanelTest, TheUsersDragParksItAndLaterStepsKeepItThere)
{
    auto panel = make();
    QWidget* window = panel->window();
    const QPoint grab = panel->cardGeometry().topLeft() + QPoint(200, 40) - window->pos();
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(-150, 120)),
                     QPointF(window->mapToGlobal(grab + QPoint(-150, 120))), Qt::NoButton, Qt::LeftButton,
                     {});
    QApplication::sendEvent(window, &move);
    QTest::mouseRelease(window, Qt::LeftButton, {}, grab + QPoint(-150, 120));
    ASSERT_TRUE(panel->isParked());
    const QPoint dropped = panel->cardGeometry().topLeft();
    panel->refresh(content(Step::jump));
    EXPECT_EQ(panel->cardGeometry().topLeft(), dropped);
    panel->stepAside();
    EXPECT_EQ(panel->cardGeometry().topLeft(), dropped) << "already parked";
}

TEST_F(IntroCardPanelTest, AStepChangeDuringTheRiseDoesNotParkIt)
{
    auto panel = make(false);
    EXPECT_TRUE(panel->isAnimating());
    panel->refresh(content(Step::working));
    EXPECT_FALSE(panel->isParked());
    ASSERT_TRUE(test::waitUntil([&] { return !panel->isAnimating(); }));
    EXPECT_EQ(panel->cardGeometry(), panel->frame(false));
    EXPECT_DOUBLE_EQ(panel->window()->windowOpacity(), 1.0);
    EXPECT_FALSE(panel->isParked());
}

TEST_F(IntroCardPanelTest, TheWindowFollowsTheEasingHeightKeepingTheCardsTopLeft)
{
    auto panel = make(false);
    QWidget* window = panel->window();
    // A drag ends the rise at once and parks the card where it was dropped.
    const QPoint grab = panel->cardGeometry().topLeft() + QPoint(200, 40) - window->pos();
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)),
                     QPointF(window->mapToGlobal(grab + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(window, &move);
    QTest::mouseRelease(window, Qt::LeftButton, {}, grab + QPoint(30, 20));
    ASSERT_FALSE(panel->isAnimating());
    const QRect before = panel->cardGeometry();

    panel->refresh(content(Step::jump));
    for (int i = 0; i < 3; ++i) {
        time.advance(80ms);
        const QRect card = panel->cardGeometry();
        EXPECT_EQ(card.topLeft(), before.topLeft());
        EXPECT_EQ(card.height(), panel->view()->height());
        EXPECT_EQ(window->geometry(), card.marginsAdded(IntroCardPanel::kShadowMargins));
        EXPECT_GT(card.height(), before.height());
    }
    time.advance(1s);
    EXPECT_EQ(panel->cardGeometry(), panel->frame(false));
}

TEST_F(IntroCardPanelTest, ClosingFadesOutEvenWhenTheCardIsDroppedAtOnce)
{
    auto panel = make(false);
    QPointer<QWidget> window = panel->window();
    panel->close();
    panel.reset();
    ASSERT_FALSE(window.isNull()) << "still fading";
    EXPECT_TRUE(test::waitUntil([&] { return window.isNull(); }));
}

TEST_F(IntroCardPanelTest, TheFadingCardOutlivesTheClocksItWasGiven)
{
    QPointer<QWidget> window;
    {
        test::ManualScheduler shortLived;
        ViewTicker ticker(shortLived, shortLived);
        auto panel =
            std::make_unique<IntroCardPanel>(screen, content(Step::working), record(),
                                             IntroCardPanel::Services{ticker, shortLived, false, false});
        window = panel->window();
        panel.reset(); // closes with a fade
    }
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(test::waitUntil([&] { return window.isNull(); }));
}
