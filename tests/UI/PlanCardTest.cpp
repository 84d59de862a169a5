#include "UI/PlanCard.h"
#include "UI/Kit/SplitCapsule.h"
#include "UI/NotchTextField.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
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
              [this](const ControlAction& action) { sent.push_back(action); }, [this] { ++jumps; })
    {
        widget.resize(420, widget.sizeHint().height());
        widget.show();
    }
    std::vector<ControlAction> sent;
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
    ASSERT_NE(card.widget.feedbackField(), nullptr);
    EXPECT_TRUE(card.widget.feedbackField()->isVisible());
    EXPECT_EQ(card.widget.feedbackField()->placeholderText(), "What should change?");
    EXPECT_FALSE(card.widget.requestChangesButton()->isVisible());

    QTest::keyClicks(card.widget.feedbackField(), "   ");
    QTest::mouseClick(card.widget.sendButton(), Qt::LeftButton);
    EXPECT_TRUE(card.sent.empty());
    EXPECT_TRUE(card.widget.isWritingFeedback());

    QPointer<NotchTextField> field = card.widget.feedbackField();
    field->setText("  \n use tabs \n ");
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(card.sent.size(), 1u);
    EXPECT_EQ(card.sent[0], ControlAction::denyWithMessage("use tabs"));
    EXPECT_FALSE(card.widget.isWritingFeedback());
    // The field goes with the row: it gives the keyboard and text entry back as it goes.
    EXPECT_EQ(card.widget.feedbackField(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(field.isNull());
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
    EXPECT_LT(shortPlan.widget.planWell()->height(), 60);
    // Long plans of many blocks, and of a block of many lines, past the start the card measures.
    std::string steps;
    std::string lines;
    std::string code = "```\n";
    for (int i = 0; i < 2000; ++i) {
        steps += "- step " + std::to_string(i) + "\n";
        lines += "line " + std::to_string(i) + "\n";
        code += "call(" + std::to_string(i) + ")\n";
    }
    for (const std::string& plan : {steps, lines, code + "```\n"}) {
        Card longPlan(plan);
        EXPECT_EQ(longPlan.widget.planWell()->height(), PlanCard::kMaxWellHeight) << plan.substr(0, 12);
    }
}

TEST(PlanCardTest, PlanTextIsShownAsTextNeverAsMarkup)
{
    Card card("Run <b>this</b> & **bold**\n```\n**kept**\n```");
    const QString shown = card.widget.planWell()->toPlainText();
    EXPECT_TRUE(shown.contains("Run <b>this</b> & bold")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("**kept**")) << shown.toStdString();
}

TEST(PlanCardTest, AnOpenFieldGoesWhenTheCardIsDismissed)
{
    Card card("Plan");
    QTest::mouseClick(card.widget.requestChangesButton(), Qt::LeftButton);
    QPointer<NotchTextField> field = card.widget.feedbackField();
    card.widget.dismiss();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(field.isNull());
    EXPECT_FALSE(card.widget.isWritingFeedback());
}
