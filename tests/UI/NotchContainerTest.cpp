#include "Core/NotchViewModel.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/NotchBody.h"
#include "UI/NotchContainerView.h"
#include "UI/PeekView.h"
#include "support/AttentionWorld.h"
#include "support/RecordingRowSource.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

class NotchContainerTest : public ::testing::Test, public test::AttentionWorld
{
  protected:
    NotchContainerTest() : model({32, 185, 128}, store, coordinator, &privacy, defaults, clock)
    {
        geometry.centerGapWidth = 185;
        geometry.barHeight = 32;
    }

    std::unique_ptr<NotchContainerView> make()
    {
        auto view = std::make_unique<NotchContainerView>(
            model, geometry, NotchContainerView::Services{coordinator, defaults, rows, clock, {}, {}});
        view->setAnimated(false);
        view->resize(int(geometry.openWidth()) + 80, 600);
        return view;
    }

    NotchGeometry geometry;
    NotchViewModel model;
    test::RecordingRowSource rows;
};

} // namespace

TEST_F(NotchContainerTest, CollapsedBodyIsTheBarWithTheListReadyAtHeightZero)
{
    auto view = make();
    NotchBody& body = *view->body();
    EXPECT_FALSE(body.isOpen());
    EXPECT_EQ(body.bodyRect().width(), model.collapsedWidth());
    EXPECT_EQ(body.bodyRect().height(), 32);
    EXPECT_EQ(body.topRadius(), 8);
    EXPECT_EQ(body.bottomRadius(), 12);
    EXPECT_EQ(body.shadowOpacity(), 0);
    ASSERT_NE(view->list(), nullptr) << "the list is built while collapsed";
    EXPECT_TRUE(view->list()->showsEmptyState());
}

TEST_F(NotchContainerTest, AskingSessionOpensTheListThenPeeksWithItsLine)
{
    auto view = make();
    ask("claude:a");
    NotchBody& body = *view->body();
    EXPECT_TRUE(body.isOpen()) << "the coordinator opens the panel for the request";
    EXPECT_EQ(body.bodyRect().width(), 760);
    EXPECT_EQ(body.topRadius(), 12);
    EXPECT_EQ(body.bottomRadius(), 30);
    ASSERT_NE(view->list(), nullptr);
    EXPECT_EQ(view->list()->rows().size(), 1u);
    QCoreApplication::processEvents(); // the list lays its new row out
    EXPECT_EQ(body.bodyRect().height(), 32 + view->list()->sizeHint().height());

    clock.advance(8s);
    EXPECT_FALSE(body.isOpen());
    clock.advance(52s);
    ASSERT_EQ(model.presentation(), PanelPresentation::peeking);
    ASSERT_NE(view->peek(), nullptr);
    EXPECT_EQ(view->peek()->session().id, "claude:a");
    QCoreApplication::processEvents();
    EXPECT_EQ(body.bodyRect().width(), 760);
    EXPECT_EQ(body.bodyRect().height(), 32 + view->peek()->sizeHint().height());
}

TEST_F(NotchContainerTest, BarClickReachesTheModelAndSnoozeShowsTheMoon)
{
    auto view = make();
    ask("claude:a");
    clock.advance(8s);
    ASSERT_EQ(model.presentation(), PanelPresentation::collapsed);
    QTest::mouseClick(view->bar(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_TRUE(coordinator.snoozedUntil().has_value())
        << "hover trigger: a click snoozes the waiting request";
    EXPECT_FALSE(view->bar()->moonRect().isEmpty());
}

TEST_F(NotchContainerTest, IdleBarHidesWhenAskedAndComesBackForAttention)
{
    auto view = make();
    QCoreApplication::processEvents();
    EXPECT_EQ(view->body()->opacity(), 1);
    // Turned on while the panel runs, as from the settings window.
    defaults.setValue("hidesWhenIdle", true);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->body()->opacity(), 0);
    EXPECT_TRUE(view->body()->testAttribute(Qt::WA_TransparentForMouseEvents));
    ask("claude:a");
    EXPECT_EQ(view->body()->opacity(), 1);
}

TEST_F(NotchContainerTest, AUsageWarningPeeksWithAnEmptySheet)
{
    auto view = make();
    ASSERT_TRUE(coordinator.announceUsageWarning("weekly"));
    ASSERT_EQ(model.presentation(), PanelPresentation::peeking);
    QCoreApplication::processEvents();
    NotchBody& body = *view->body();
    EXPECT_TRUE(body.isOpen());
    EXPECT_EQ(body.bodyRect().width(), 760);
    EXPECT_EQ(body.bottomRadius(), 30);
    EXPECT_EQ(view->peek(), nullptr) << "no session needs the user, so there is no line to show";
    EXPECT_EQ(body.bodyRect().height(), 32) << "the sheet is empty";

    clock.advance(1200ms);
    EXPECT_FALSE(body.isOpen());
    ASSERT_NE(view->list(), nullptr) << "the list is back, ready to open";
}
