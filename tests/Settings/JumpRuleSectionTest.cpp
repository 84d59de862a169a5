#include "Settings/JumpRuleSection.h"

#include "Core/CommandLookup.h"
#include "Settings/SettingsSwitch.h"
#include "Terminal/JumpController.h"
#include "Terminal/JumpRuleStore.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingAppRegistry.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingUrlOpener.h"
#include "support/RecordingWindowSystem.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <gtest/gtest.h>

namespace velquist {
namespace {

using namespace std::chrono_literals;

class JumpRuleSectionTest : public ::testing::Test
{
  protected:
    JumpRuleSectionTest() { section.show(); }

    JumpRuleSection::RuleRow& rowAt(std::size_t index)
    {
        JumpRuleSection::RuleRow* row = section.row(rules.rules().at(index).id);
        EXPECT_NE(row, nullptr);
        return *row;
    }
    // What is saved under the rules' key, read back as a fresh store would.
    std::vector<JumpRule> saved()
    {
        UserDefaults copy(defaults.snapshot());
        return JumpRuleStore(copy).rules();
    }

    test::MemoryDefaults defaults;
    test::ManualScheduler scheduler;
    JumpRuleStore rules{defaults};
    JumpRuleSection section{rules, scheduler};
};

TEST_F(JumpRuleSectionTest, AddRuleAddsBlankEnabledRowsAndHidesTheEmptyLine)
{
    EXPECT_EQ(section.header(), "Custom jump rules");
    EXPECT_TRUE(section.emptyLine().isVisibleTo(&section));
    EXPECT_EQ(section.emptyLine().text(), "No custom jump rules.");
    EXPECT_EQ(defaults.saveCount(), 0) << "showing the section writes nothing";

    QTest::mouseClick(&section.addButton(), Qt::LeftButton);
    QTest::mouseClick(&section.addButton(), Qt::LeftButton);
    ASSERT_EQ(rules.rules().size(), 2u);
    EXPECT_NE(rules.rules()[0].id, rules.rules()[1].id);
    EXPECT_FALSE(section.emptyLine().isVisibleTo(&section));
    for (std::size_t i = 0; i < 2; ++i) {
        JumpRuleSection::RuleRow& row = rowAt(i);
        EXPECT_TRUE(row.enabledSwitch().isChecked());
        EXPECT_EQ(row.bundleField().text(), "");
        EXPECT_EQ(row.bundleField().placeholderText(), "application id");
        EXPECT_EQ(row.terminalsButton(), nullptr) << "no terminal found, no menu";
        EXPECT_EQ(row.templateField().placeholderText(), "myterm://focus?tty={tty}");
        EXPECT_EQ(row.removeButton().toolTip(), "Remove this rule");
    }
    EXPECT_EQ(saved().size(), 2u);
}

TEST_F(JumpRuleSectionTest, TheTerminalsFoundHereFillInTheApplicationId)
{
    JumpRuleSection offering(rules, scheduler,
                             {{"debian-xterm", "XTerm"}, {"net.kovidgoyal.kitty", "kitty"}});
    rules.add(JumpRule::make("typed.by.hand", "x://{tty}", true));
    JumpRuleSection::RuleRow* row = offering.row(rules.rules().at(0).id);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->bundleField().placeholderText(), "debian-xterm");
    ASSERT_NE(row->terminalsButton(), nullptr);
    QMenu* menu = row->terminalsButton()->menu();
    ASSERT_NE(menu, nullptr);
    QStringList choices;
    for (const QAction* action : menu->actions())
        choices << action->text();
    EXPECT_EQ(choices, (QStringList{"XTerm (debian-xterm)", "kitty (net.kovidgoyal.kitty)"}));

    menu->actions().at(1)->trigger();
    EXPECT_EQ(row->bundleField().text(), "net.kovidgoyal.kitty");
    EXPECT_EQ(saved().at(0).bundleID, "net.kovidgoyal.kitty") << "saved at once";
    EXPECT_EQ(saved().at(0).urlTemplate, "x://{tty}");
}

TEST_F(JumpRuleSectionTest, TypingIsSavedAsTypedOnceItPausesOrTheFieldIsLeft)
{
    rules.add(JumpRule::make({}, {}));
    JumpRuleSection::RuleRow& row = rowAt(0);
    const int savesBefore = defaults.saveCount();

    QTest::keyClicks(&row.bundleField(), " org.example.Term ");
    QTest::keyClicks(&row.templateField(), "term://x?{tty}");
    EXPECT_EQ(rules.rules()[0].bundleID, "") << "not on every keystroke";
    EXPECT_EQ(defaults.saveCount(), savesBefore);

    scheduler.advance(JumpRuleSection::typingPause);
    EXPECT_EQ(rules.rules()[0].bundleID, " org.example.Term ") << "untrimmed";
    EXPECT_EQ(rules.rules()[0].urlTemplate, "term://x?{tty}");
    EXPECT_EQ(defaults.saveCount(), savesBefore + 1) << "both fields in one save";
    EXPECT_EQ(saved().at(0).bundleID, " org.example.Term ");

    // Leaving the field saves at once.
    QTest::keyClicks(&row.templateField(), "&p={pid}");
    Q_EMIT row.templateField().editingFinished();
    EXPECT_EQ(rules.rules()[0].urlTemplate, "term://x?{tty}&p={pid}");
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(JumpRuleSectionTest, SwitchingOffKeepsTheRowAndRemovingKeepsTheOtherRowsTexts)
{
    rules.add(JumpRule::make("one.app", "one://{tty}"));
    rules.add(JumpRule::make("two.app", "two://{tty}"));
    const std::string second = rules.rules()[1].id;

    QTest::mouseClick(&rowAt(0).enabledSwitch(), Qt::LeftButton, {},
                      QPoint(rowAt(0).enabledSwitch().width() - 10, rowAt(0).enabledSwitch().height() / 2));
    EXPECT_FALSE(rules.rules()[0].isEnabled);
    EXPECT_EQ(rowAt(0).bundleField().text(), "one.app");
    EXPECT_FALSE(rules.rule("one.app")) << "a rule switched off is not used";

    QTest::keyClicks(&rowAt(1).bundleField(), ".x");
    QTest::mouseClick(&rowAt(0).removeButton(), Qt::LeftButton);
    ASSERT_EQ(rules.rules().size(), 1u);
    EXPECT_EQ(rules.rules()[0].id, second);
    EXPECT_EQ(section.row(second)->bundleField().text(), "two.app.x");
    EXPECT_EQ(section.row(second)->templateField().text(), "two://{tty}");
}

TEST_F(JumpRuleSectionTest, AChangeElsewhereLeavesTheFieldBeingTypedInAlone)
{
    rules.add(JumpRule::make("one.app", "one://{tty}"));
    QApplication::setActiveWindow(&section);
    JumpRuleSection::RuleRow& row = rowAt(0);
    row.bundleField().setFocus();
    QTest::keyClicks(&row.bundleField(), "-typing");

    rules.update(rules.rules()[0].id, "changed.elsewhere", std::nullopt, false);
    rules.add(JumpRule::make("other.app", ""));
    EXPECT_EQ(row.bundleField().text(), "one.app-typing");
    EXPECT_FALSE(row.enabledSwitch().isChecked()) << "the switch follows the store";
    EXPECT_EQ(QApplication::focusWidget(), &row.bundleField());
    EXPECT_EQ(section.row(rules.rules()[1].id)->bundleField().text(), "other.app");
}

TEST_F(JumpRuleSectionTest, ClosingWithUnsavedTypingSavesIt)
{
    rules.add(JumpRule::make({}, {}));
    {
        JumpRuleSection other(rules, scheduler);
        QTest::keyClicks(&other.row(rules.rules()[0].id)->templateField(), "a://b");
    }
    EXPECT_EQ(rules.rules()[0].urlTemplate, "a://b");
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

// A rule added and filled in through the section is what the jump controller opens.
TEST_F(JumpRuleSectionTest, ARuleAddedHereIsUsedByTheJumpController)
{
    test::RecordingAppRegistry registry;
    test::RecordingProcessRunner runner;
    CommandLookup lookup{runner};
    Tmux tmux{runner, lookup};
    TerminalBinder binder{registry, &tmux};
    MultiplexerFocus multiplexer{tmux};
    test::RecordingWindowSystem windows;
    test::RecordingUrlOpener urls;
    TerminalFocusRegistry strategies{{}};
    JumpController controller({binder, windows, multiplexer, strategies, urls, scheduler});
    controller.setRules(&rules);
    registry.add({777, "org.example.Term", "term", true});
    windows.setWindows({test::RecordingWindowSystem::makeWindow(11, 777, "shell")});
    windows.setActive(11);

    QTest::mouseClick(&section.addButton(), Qt::LeftButton);
    QTest::keyClicks(&rowAt(0).bundleField(), "org.example.term");
    QTest::keyClicks(&rowAt(0).templateField(), "term://focus?tty={tty}");
    Q_EMIT rowAt(0).templateField().editingFinished();

    Session session;
    session.id = "claude:1";
    session.cwd = "/home/me/p";
    session.terminal.ownerPID = 777;
    session.terminal.tty = "pts/3";
    std::optional<bool> focused;
    controller.focus(session, [&](bool result) { focused = result; });
    ASSERT_TRUE(test::waitUntil([&] { return focused.has_value(); }));
    EXPECT_EQ(focused, true);
    EXPECT_EQ(urls.opened(), (std::vector<std::string>{"term://focus?tty=pts/3"}));
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace
} // namespace velquist
