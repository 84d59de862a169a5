#include "UI/QuestionForm.h"
#include "UI/Kit/OptionRowButton.h"
#include "support/Prompts.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velquist;
using test::question;

namespace {

struct Form
{
    explicit Form(AgentInquiry inquiry)
        : widget(
              std::move(inquiry), Qt::green, [this](const ControlAction& action) { sent.push_back(action); },
              [this] { ++jumps; })
    {
        widget.resize(400, widget.sizeHint().height());
        widget.show();
    }
    void click(int q, int o)
    {
        OptionRowButton* button = widget.optionButton(q, o);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    std::vector<ControlAction> sent;
    int jumps = 0;
    QuestionForm widget;
};

} // namespace

TEST(QuestionFormTest, ALoneSingleChoiceQuestionIsAnsweredByOneClick)
{
    Form form(AgentInquiry{{question("Pick", 3, false)}});
    EXPECT_EQ(form.widget.submitButton(), nullptr) << "only Jump is shown";
    form.click(0, 1);
    ASSERT_EQ(form.sent.size(), 1u);
    EXPECT_EQ(form.sent[0], ControlAction::answer({{1}}));
    EXPECT_TRUE(form.widget.optionButton(0, 1)->isSelected());

    QTest::mouseClick(form.widget.jumpButton(), Qt::LeftButton);
    EXPECT_EQ(form.jumps, 1);
    EXPECT_EQ(form.sent.size(), 1u);
}

TEST(QuestionFormTest, MultipleChoiceCollectsPicksUntilSubmit)
{
    Form form(AgentInquiry{{question("Pick many", 4, true)}});
    EXPECT_FALSE(form.widget.submitButton()->isEnabled());
    form.click(0, 2);
    form.click(0, 0);
    EXPECT_TRUE(form.sent.empty());
    ASSERT_TRUE(form.widget.submitButton()->isEnabled());
    EXPECT_EQ(form.widget.submitButton()->text(), "Submit");
    QTest::mouseClick(form.widget.submitButton(), Qt::LeftButton);
    ASSERT_EQ(form.sent.size(), 1u);
    EXPECT_EQ(form.sent[0], ControlAction::answer({{0, 2}}));

    // Clicking a pick again removes it; with nothing picked Submit is disabled again.
    form.click(0, 0);
    form.click(0, 2);
    EXPECT_FALSE(form.widget.submitButton()->isEnabled());
    QTest::mouseClick(form.widget.submitButton(), Qt::LeftButton);
    EXPECT_EQ(form.sent.size(), 1u);
}

TEST(QuestionFormTest, EveryQuestionNeedsAPickBeforeSubmit)
{
    Form form(AgentInquiry{{question("First", 2, false), question("Second", 2, true)}});
    form.click(0, 1);
    EXPECT_FALSE(form.widget.submitButton()->isEnabled());
    form.widget.submit();
    EXPECT_TRUE(form.sent.empty());
    form.click(1, 0);
    form.click(1, 1);
    QTest::mouseClick(form.widget.submitButton(), Qt::LeftButton);
    ASSERT_EQ(form.sent.size(), 1u);
    EXPECT_EQ(form.sent[0], ControlAction::answer({{1}, {0, 1}}));
}

TEST(QuestionFormTest, OnlyTheFirstFourOptionsCanBePicked)
{
    Form form(AgentInquiry{{question("Six", 6, true)}});
    EXPECT_NE(form.widget.optionButton(0, 3), nullptr);
    EXPECT_EQ(form.widget.optionButton(0, 4), nullptr);
    EXPECT_EQ(form.widget.optionButton(0, 3)->text(), "option 3");
    form.widget.select(5, 0, true); // out of range: nothing happens
    EXPECT_FALSE(form.widget.selections()[0].contains(0));
}

TEST(QuestionFormTest, SectionLabels)
{
    const AgentInquiry one{{question("Only", 2, false)}};
    const AgentInquiry two{{question("First?", 2, false), question("Second?", 2, false, "")}};
    const AgentInquiry headed{{question("First?", 2, false, "Database")}};
    EXPECT_EQ(QuestionForm::sectionLabel(one, 0), std::nullopt);
    EXPECT_EQ(QuestionForm::sectionLabel(two, 0), "First?");
    EXPECT_EQ(QuestionForm::sectionLabel(two, 1), "Second?") << "an empty header counts as none";
    EXPECT_EQ(QuestionForm::sectionLabel(headed, 0), "Database");
    EXPECT_EQ(QuestionForm::sectionLabel(one, 3), std::nullopt);
}

TEST(QuestionFormTest, OptionsTakeTheKeyboardLikeAnyButton)
{
    Form form(AgentInquiry{{question("Pick", 2, false)}});
    OptionRowButton* second = form.widget.optionButton(0, 1);
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Space);
    ASSERT_EQ(form.sent.size(), 1u);
    EXPECT_EQ(form.sent[0], ControlAction::answer({{1}}));
}
