#include "App/AppDelegate.h"
#include "App/GeneralSettingsTab.h"
#include "App/IntegrationSettingsTab.h"
#include "App/SettingsWindow.h"
#include "support/DelegateWorld.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

struct SettingsHarness : test::DelegateWorld
{
    SettingsHarness() : delegate(services()) {}
    AppDelegate delegate;
};

TEST(AppDelegateSettings, OneWindowOnTheGeneralTabWithTheRulesOnceStartedUp)
{
    SettingsHarness world;
    SettingsWindow& window = world.delegate.settingsWindow();
    EXPECT_EQ(&window, &world.delegate.settingsWindow());
    world.delegate.openSettings();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.selection(), SettingsTab::general);
    EXPECT_NE(qobject_cast<GeneralSettingsTab*>(window.page()), nullptr);

    // Before the start-up the rules are not published: the tab leaves their section out.
    window.setSelection(SettingsTab::integrations);
    auto* early = qobject_cast<IntegrationSettingsTab*>(window.page());
    ASSERT_NE(early, nullptr);
    EXPECT_EQ(early->jumpRuleSection(), nullptr);

    world.delegate.applicationDidFinishLaunching({"velquist"});
    window.setSelection(SettingsTab::integrations);
    auto* later = qobject_cast<IntegrationSettingsTab*>(window.page());
    ASSERT_NE(later, nullptr);
    EXPECT_NE(later->jumpRuleSection(), nullptr);
    world.delegate.applicationWillTerminate();
}

} // namespace
