#include "Settings/FilterSettingsTab.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Shared/AppPaths.h"
#include "support/ManualScheduler.h"
#include "support/WidgetFinder.h"
#include "support/base/TemporaryFolder.h"

#include "Settings/SettingsSwitch.h"
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
namespace fs = std::filesystem;

namespace {

class FilterSettingsTabTest : public ::testing::Test
{
  protected:
    FilterSettingsTabTest()
        : silence(folder.path() / "silence-rules.json", folder.path() / "home"),
          store(clock, clock, folder.path() / "sessions.json", &silence)
    {
    }

    void open()
    {
        tab = std::make_unique<FilterSettingsTab>(&store);
        tab->resize(480, 700);
        tab->show();
    }
    void addSession(const std::string& id, const std::string& cwd, std::optional<std::string> prompt = {},
                    SessionStatus status = SessionStatus::Working{})
    {
        Session session;
        session.id = "claude:" + id;
        session.cwd = cwd;
        session.firstPrompt = std::move(prompt);
        session.status = std::move(status);
        store.upsert(session);
    }
    std::vector<QLineEdit*> fields() const
    {
        const auto found = tab->findChildren<QLineEdit*>();
        return {found.begin(), found.end()};
    }
    QPushButton& addButton() const { return *findNamed<QPushButton>(*tab, QStringLiteral("Add filter…")); }
    bool shows(const QString& text) const
    {
        const QLabel* label = findNamed<QLabel>(*tab, text);
        return label && label->isVisibleTo(tab.get());
    }
    // The summaries beside the rows' pickers, top to bottom.
    QStringList summaries() const
    {
        QStringList texts;
        for (const QLabel* label : tab->findChildren<QLabel*>()) {
            if (label->text() == "no pattern" || label->text().endsWith(" match") ||
                label->text().endsWith(" matches"))
                texts << label->text();
        }
        return texts;
    }
    void type(QLineEdit& field, const QString& text)
    {
        field.setFocus();
        QTest::keyClicks(&field, text);
    }

    TemporaryFolder folder;
    ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    std::unique_ptr<FilterSettingsTab> tab;
};

TEST(FilterSettingsTabNoticeTest, WithoutAStoreOnlyTheLaunchNoticeShows)
{
    FilterSettingsTab tab(nullptr);
    EXPECT_NE(
        findNamed<QLabel>(tab, QStringLiteral("Filters are available once the app has finished launching.")),
        nullptr);
    EXPECT_TRUE(tab.findChildren<QPushButton*>().isEmpty());
}

TEST(FilterSettingsTabTexts, SummaryAndHiddenLine)
{
    struct Case
    {
        QString pattern;
        int count;
        QString expected;
    };
    const Case cases[] = {
        {"", 3, "no pattern"}, {" \t", 3, "no pattern"}, {"x", 0, "0 matches"},
        {"x", 1, "1 match"},   {"x", 12, "12 matches"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterSettingsTab::matchSummary(c.pattern, c.count), c.expected) << c.pattern.toStdString();
    EXPECT_EQ(FilterSettingsTab::hiddenLine(2, 7), "Hiding 2 of 7 sessions");
    EXPECT_EQ(FilterSettingsTab::hiddenLine(1, 1), "Hiding 1 of 1 sessions");
}

TEST_F(FilterSettingsTabTest, AddFilterMakesOneBlankRowUntilThatRowIsChanged)
{
    open();
    EXPECT_TRUE(shows("No filters yet."));
    EXPECT_FALSE(fs::exists(silence.persistenceFile())) << "showing the tab writes nothing";

    addButton().click();
    ASSERT_EQ(fields().size(), 1u);
    EXPECT_FALSE(shows("No filters yet."));
    EXPECT_EQ(findNamed<QComboBox>(*tab, "Field")->currentText(), "Working directory");
    EXPECT_EQ(findNamed<QComboBox>(*tab, "Match")->currentText(), "contains");
    EXPECT_EQ(fields()[0]->text(), "");
    EXPECT_EQ(fields()[0]->placeholderText(), "e.g. ~/.claude");
    EXPECT_EQ(summaries(), QStringList({"no pattern"}));

    addButton().click();
    EXPECT_EQ(fields().size(), 1u) << "an untouched blank rule is already there";

    type(*fields()[0], " ");
    EXPECT_EQ(silence.customRules()[0].pattern, " ") << "stored as typed";
    EXPECT_EQ(summaries(), QStringList({"no pattern"}));
    addButton().click();
    EXPECT_EQ(fields().size(), 2u);
}

TEST_F(FilterSettingsTabTest, TypingCountsAndHidesWhileTheUserTypes)
{
    const std::string home = (folder.path() / "home").string();
    addSession("a", home + "/scratch/one");
    addSession("b", home + "/scratch/two");
    addSession("c", home + "/work");
    addSession("d", home + "/scratch/ended", std::nullopt, SessionStatus::Ended{});
    open();
    addButton().click();
    choose(*findNamed<QComboBox>(*tab, "Match"), "starts with");
    ASSERT_EQ(silence.customRules()[0].match, SilenceRule::Match::prefix);

    type(*fields()[0], "~/scr");
    EXPECT_EQ(summaries(), QStringList({"0 matches"}));
    type(*fields()[0], "atch/");
    EXPECT_EQ(summaries(), QStringList({"2 matches"}))
        << "a tilde and a trailing slash match the written-out path";
    EXPECT_EQ(silence.customRules()[0].pattern, "~/scratch/");
    EXPECT_EQ(store.displaySessions().size(), 1u);
    EXPECT_TRUE(shows("Hiding 2 of 3 sessions")) << "ended sessions count in neither number";
    EXPECT_NE(readFile(silence.persistenceFile()).find("~/scratch/"), std::string::npos);

    silence.setRevealsHidden(true);
    EXPECT_TRUE(shows("Hiding 2 of 3 sessions")) << "still so while the panel reveals them";
}

TEST_F(FilterSettingsTabTest, APromptRuleCountsFirstPrompts)
{
    addSession("a", "/p", std::string("## Memory Writing Agent: sum up"));
    addSession("b", "/q", std::string("fix the build"));
    open();
    addButton().click();
    choose(*findNamed<QComboBox>(*tab, "Field"), "First prompt");
    EXPECT_EQ(fields()[0]->placeholderText(), "e.g. ## Memory Writing Agent");
    type(*fields()[0], "memory writing");
    EXPECT_EQ(summaries(), QStringList({"1 match"}));
    EXPECT_TRUE(shows("Hiding 1 of 2 sessions"));
}

TEST_F(FilterSettingsTabTest, BuiltInRulesAreSwitchesOnly)
{
    addSession("a", "/tmp/scratch");
    addSession("b", "/home/u/project");
    open();
    EXPECT_TRUE(fields().empty()) << "no editable row for a built-in rule";
    SettingsSwitch* temporary = findNamed<SettingsSwitch>(*tab, "Sessions in temporary directories");
    ASSERT_NE(temporary, nullptr);
    EXPECT_TRUE(shows("Scratchpad and throwaway sessions under /tmp."));
    EXPECT_FALSE(temporary->isChecked());
    EXPECT_FALSE(shows("Hiding 1 of 2 sessions"));

    temporary->click();
    EXPECT_TRUE(silence.presetRules()[1].isEnabled);
    EXPECT_EQ(store.displaySessions().size(), 1u);
    EXPECT_TRUE(shows("Hiding 1 of 2 sessions"));
}

TEST_F(FilterSettingsTabTest, RowsFollowTheStoreButKeepTheTextBeingTyped)
{
    SilenceRule kept;
    kept.id = QUuid::createUuid();
    kept.pattern = "alpha";
    silence.add(kept);
    SilenceRule removed = kept;
    removed.id = QUuid::createUuid();
    removed.pattern = "beta";
    silence.add(removed);
    open();
    ASSERT_EQ(fields().size(), 2u);
    type(*fields()[0], "-x");

    // Made elsewhere (the panel's session menu) while the tab is open.
    SilenceRule outside = kept;
    outside.id = QUuid::createUuid();
    outside.field = SilenceRule::Field::prompt;
    outside.pattern = "warmup";
    silence.add(outside);
    ASSERT_EQ(fields().size(), 3u);
    EXPECT_EQ(fields()[2]->text(), "warmup");
    EXPECT_EQ(fields()[2]->placeholderText(), "e.g. ## Memory Writing Agent");

    QLineEdit* typing = fields()[0];
    silence.update(kept.id, "changed elsewhere");
    EXPECT_EQ(typing->text(), "alpha-x") << "the field under the cursor is the user's";
    EXPECT_EQ(tab->focusWidget(), typing);

    const auto trashes = tab->findChildren<QToolButton*>();
    std::vector<QToolButton*> removers;
    for (QToolButton* button : trashes) {
        if (button->toolTip() == "Remove this filter")
            removers.push_back(button);
    }
    ASSERT_EQ(removers.size(), 3u);
    removers[1]->click();
    ASSERT_EQ(fields().size(), 2u);
    EXPECT_EQ(fields()[0]->text(), "alpha-x");
    EXPECT_EQ(fields()[1]->text(), "warmup");
    EXPECT_EQ(silence.customRules().size(), 2u);
}

TEST_F(FilterSettingsTabTest, ShowingStoredRulesWritesNothing)
{
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.pattern = "~/keep";
    silence.add(rule);
    std::ofstream(silence.persistenceFile(), std::ios::trunc) << "sentinel";
    open();
    choose(*findNamed<QComboBox>(*tab, "Match"), "contains");
    EXPECT_EQ(readFile(silence.persistenceFile()), "sentinel") << "choosing what is shown is no change";
}

} // namespace
