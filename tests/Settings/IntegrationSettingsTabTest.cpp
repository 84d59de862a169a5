#include "Settings/IntegrationSettingsTab.h"
#include "Ingestion/HookInstaller.h"
#include "Settings/JumpRuleSection.h"
#include "Settings/SettingsSection.h"
#include "Terminal/JumpRuleStore.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingWindowSystem.h"
#include "support/base/TemporaryFolder.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velquist {
namespace {

class IntegrationSettingsTabTest : public ::testing::Test
{
  protected:
    std::unique_ptr<IntegrationSettingsTab> makeTab(JumpRuleStore* rules = nullptr)
    {
        auto tab = std::make_unique<IntegrationSettingsTab>(
            IntegrationSettingsTab::Services{defaults, HomePaths(home.path()), windows, rules, scheduler});
        tab->resize(480, 800);
        tab->show();
        return tab;
    }
    nlohmann::ordered_json settings() const
    {
        return nlohmann::ordered_json::parse(home.read(".claude/settings.json"));
    }

    test::TemporaryFolder home;
    test::MemoryDefaults defaults;
    test::RecordingWindowSystem windows;
    test::ManualScheduler scheduler;
};

TEST_F(IntegrationSettingsTabTest, InstallButtonInstallsClaudeCodesHooksAndTurnsIntoTheState)
{
    home.write(".claude/settings.json", R"({"model": "opus", "hooks": {}})");
    const auto tab = makeTab();
    EXPECT_FALSE(tab->hooksInstalled());
    EXPECT_TRUE(tab->installButton().isVisibleTo(tab.get()));
    EXPECT_FALSE(tab->installedLabel().isVisibleTo(tab.get()));

    QTest::mouseClick(&tab->installButton(), Qt::LeftButton);
    EXPECT_TRUE(tab->hooksInstalled());
    EXPECT_TRUE(HookInstaller::hooksInstalled(HookInstaller::claudeTarget(HomePaths(home.path()), defaults)));
    EXPECT_EQ(settings()["model"], "opus");
    EXPECT_TRUE(settings()["hooks"].contains("PermissionRequest"));
    EXPECT_FALSE(tab->installButton().isVisibleTo(tab.get()));
    EXPECT_TRUE(tab->installedLabel().isVisibleTo(tab.get()));
    EXPECT_EQ(tab->installedLabel().text(), "Installed");
}

TEST_F(IntegrationSettingsTabTest, AFailedInstallLeavesTheFileAndTheButton)
{
    home.write(".claude/settings.json", "[1, 2]");
    const auto tab = makeTab();
    QTest::mouseClick(&tab->installButton(), Qt::LeftButton);
    EXPECT_FALSE(tab->hooksInstalled());
    EXPECT_TRUE(tab->installButton().isVisibleTo(tab.get()));
    EXPECT_EQ(home.read(".claude/settings.json"), "[1, 2]");
}

TEST_F(IntegrationSettingsTabTest, TitleWarningShowsForEveryWayOfTurningTitlesOff)
{
    struct Case
    {
        const char* env; // nullptr: no file
        bool warns;
    };
    const Case cases[] = {
        {R"("1")", true},  {R"("true")", true},   {R"("YES")", true}, {"true", true}, {"2", true},
        {R"("0")", false}, {R"("false")", false}, {"false", false},   {"0", false},   {nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.env ? c.env : "no file");
        std::filesystem::remove(home.path() / ".claude/settings.json");
        if (c.env)
            home.write(".claude/settings.json",
                       std::string(R"({"env": {"CLAUDE_CODE_DISABLE_TERMINAL_TITLE": )") + c.env + "}}");
        const auto tab = makeTab();
        EXPECT_EQ(tab->titlesDisabled(), c.warns);
        EXPECT_EQ(tab->titlesSection().isVisibleTo(tab.get()), c.warns);
    }
}

TEST_F(IntegrationSettingsTabTest, TurnBackOnRemovesOnlyThatSettingAndTheWarning)
{
    home.write(".claude/settings.json",
               R"({"theme": "dark", "env": {"A": "1", "CLAUDE_CODE_DISABLE_TERMINAL_TITLE": "1"}})");
    const auto tab = makeTab();
    ASSERT_TRUE(tab->titlesSection().isVisibleTo(tab.get()));
    QTest::mouseClick(&tab->turnTitlesOnButton(), Qt::LeftButton);
    EXPECT_EQ(settings()["theme"], "dark");
    EXPECT_EQ(settings()["env"], nlohmann::ordered_json({{"A", "1"}}));
    EXPECT_FALSE(tab->titlesDisabled());
    EXPECT_FALSE(tab->titlesSection().isVisibleTo(tab.get()));
}

TEST_F(IntegrationSettingsTabTest, ComingBackReadsTheStatesAgain)
{
    const auto tab = makeTab();
    EXPECT_FALSE(tab->titlesDisabled());
    home.write(".claude/settings.json", R"({"env": {"CLAUDE_CODE_DISABLE_TERMINAL_TITLE": "1"}})");
    ASSERT_TRUE(
        HookInstaller::installHooks(HookInstaller::claudeTarget(HomePaths(home.path()), defaults)).ok());
    windows.setAvailable(false, false, false);
    tab->refresh();
    EXPECT_TRUE(tab->titlesDisabled());
    EXPECT_TRUE(tab->hooksInstalled());
    EXPECT_FALSE(tab->windowAccess());
}

TEST_F(IntegrationSettingsTabTest, WindowAccessIsWhatTheDesktopAllows)
{
    struct Case
    {
        bool list, activate, available;
    };
    for (const Case& c : {Case{true, true, true}, Case{true, false, false}, Case{false, false, false}}) {
        SCOPED_TRACE(testing::Message() << c.list << c.activate);
        windows.setAvailable(c.list, c.activate, false);
        const auto tab = makeTab();
        EXPECT_EQ(tab->windowAccess(), c.available);
        EXPECT_EQ(tab->windowAccessLabel().isVisibleTo(tab.get()), c.available);
    }
}

TEST_F(IntegrationSettingsTabTest, JumpRulesAppearOnlyWithTheirStore)
{
    EXPECT_EQ(makeTab()->jumpRuleSection(), nullptr);
    JumpRuleStore rules(defaults);
    const auto tab = makeTab(&rules);
    ASSERT_NE(tab->jumpRuleSection(), nullptr);
    EXPECT_TRUE(tab->jumpRuleSection()->isVisibleTo(tab.get()));
    EXPECT_EQ(defaults.saveCount(), 0) << "the tab writes no setting of ours";
}

} // namespace
} // namespace velquist
