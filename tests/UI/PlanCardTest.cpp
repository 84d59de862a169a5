#include "UI/PlanCard.h"
#include "UI/SplitCapsule.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

struct Card
{
    explicit Card(const std::string& plan)
        : widget(
              PlanMarkdown::blocks(plan), Qt::green,
              [this](const ControlAction& action) { sent.push_back(action); }, [this] { ++jumps; },
              [this](bool active) { textEntry.push_back(active); })
    {
        widget.resize(420, widget.sizeHint().height());
        widget.show();
    }
    std::vector<ControlAction> sent;
    std::vector<bool> textEntry;
    int jumps = 0;
    PlanCard widget;
};

} // namespace

TEST(PlanCardTest, ApproveAndItsMenu)
{
    Card card("# Plan\n- one\n- two");
    QTest::mouseClick(card.widget.approveControl()->mainButton(), Qt::LeftButton);
    ASSERT_EQ(card.sent.size(), 1u);
    EXPECT_EQ(card.sent[0], ControlAction::approvePlan(std::nullopt));

    QMenu* menu = card.widget.approveControl()->menu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Approve and auto-accept edits");
    QTest::mouseClick(card.widget.approveControl()->menuButton(), Qt::LeftButton);
    EXPECT_TRUE(menu->isVisible());
    menu->actions()[0]->trigger();
    ASSERT_EQ(card.sent.size(), 2u);
    EXPECT_EQ(card.sent[1], ControlAction::approvePlan(std::string("acceptEdits")));

    QTest::mouseClick(card.widget.jumpButton(), Qt::LeftButton);
    EXPECT_EQ(card.jumps, 1);
}

TEST(PlanCardTest, FeedbackIsSentTrimmedAndEmptyFeedbackIsNot)
{
    Card card("Do the thing");
    QTest::mouseClick(card.widget.requestChangesButton(), Qt::LeftButton);
    ASSERT_TRUE(card.widget.isWritingFeedback());
    EXPECT_EQ(card.textEntry, std::vector<bool>{true});
    EXPECT_TRUE(card.widget.feedbackField()->isVisible());
    EXPECT_FALSE(card.widget.requestChangesButton()->isVisible());

    QTest::keyClicks(card.widget.feedbackField(), "   ");
    QTest::mouseClick(card.widget.sendButton(), Qt::LeftButton);
    EXPECT_TRUE(card.sent.empty());
    EXPECT_TRUE(card.widget.isWritingFeedback());

    card.widget.feedbackField()->setText("  \n use tabs \n ");
    QTest::keyClick(card.widget.feedbackField(), Qt::Key_Return);
    ASSERT_EQ(card.sent.size(), 1u);
    EXPECT_EQ(card.sent[0], ControlAction::denyWithMessage("use tabs"));
    EXPECT_FALSE(card.widget.isWritingFeedback());
    EXPECT_TRUE(card.widget.feedbackField()->text().isEmpty());
    EXPECT_EQ(card.textEntry, (std::vector<bool>{true, false}));
}

TEST(PlanCardTest, CancelDiscardsTheText)
{
    Card card("Plan");
    QTest::mouseClick(card.widget.requestChangesButton(), Qt::LeftButton);
    QTest::keyClicks(card.widget.feedbackField(), "draft");
    QTest::mouseClick(card.widget.cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(card.widget.isWritingFeedback());
    QTest::mouseClick(card.widget.requestChangesButton(), Qt::LeftButton);
    EXPECT_TRUE(card.widget.feedbackField()->text().isEmpty());
    EXPECT_TRUE(card.sent.empty());
}

TEST(PlanCardTest, WellIsAsTallAsThePlanUpToItsCap)
{
    Card shortPlan("One line");
    std::string longText;
    for (int i = 0; i < 2000; ++i)
        longText += "- step " + std::to_string(i) + "\n";
    Card longPlan(longText);
    EXPECT_LT(shortPlan.widget.planWell()->height(), 60);
    EXPECT_EQ(longPlan.widget.planWell()->height(), PlanCard::kMaxWellHeight);
}

TEST(PlanCardTest, PlanTextIsShownAsTextNeverAsMarkup)
{
    Card card("Run <b>this</b> & **bold**\n```\n**kept**\n```");
    const QString shown = card.widget.planWell()->toPlainText();
    EXPECT_TRUE(shown.contains("Run <b>this</b> & bold")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("**kept**")) << shown.toStdString();
}

TEST(PlanCardTest, AnOpenFieldGivesTextEntryBackWhenTheCardGoes)
{
    std::vector<bool> textEntry;
    {
        PlanCard card(
            PlanMarkdown::blocks("Plan"), Qt::green, [](const ControlAction&) {}, [] {},
            [&textEntry](bool active) { textEntry.push_back(active); });
        QTest::mouseClick(card.requestChangesButton(), Qt::LeftButton);
    }
    EXPECT_EQ(textEntry, (std::vector<bool>{true, false}));
}
