#include "App/AppDelegate.h"
#include "Settings/GeneralSettingsTab.h"
#include "Settings/IntegrationSettingsTab.h"
#include "Settings/SettingsTab.h"
#include "Settings/SettingsWindow.h"
#include "support/DelegateWorld.h"

#include <QAccessible>
#include <gtest/gtest.h>
#include <set>

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

// What a screen reader would meet in `node` and below without a name: every control that shows or
// takes focus, and every element that reads as a frame (a window's role) though it is none.
void collectUnnamed(QAccessibleInterface* node, const QString& path, QStringList& unnamed)
{
    static const std::set<QAccessible::Role> unnamedAllowed = {
        QAccessible::Client,     QAccessible::Pane,      QAccessible::Grouping, QAccessible::Separator,
        QAccessible::StaticText, QAccessible::ScrollBar, QAccessible::MenuBar};
    const QAccessible::State state = node->state();
    const QAccessible::Role role = node->role();
    const QString name = node->text(QAccessible::Name);
    const QString here =
        path + QStringLiteral("/") + QString::number(int(role), 16) + QStringLiteral(":") + name;
    if ((!state.invisible || state.focusable) && role == QAccessible::Border)
        unnamed << here + QStringLiteral(" reads as a frame");
    else if ((!state.invisible || state.focusable) && name.trimmed().isEmpty() && !unnamedAllowed.count(role))
        unnamed << here;
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface* child = node->child(i))
            collectUnnamed(child, here, unnamed);
}

TEST(AppDelegateSettings, EveryControlOnEveryTabReadsByItsName)
{
    // As with a screen reader listening.
    QAccessible::setActive(true);
    SettingsHarness world;
    world.delegate.applicationDidFinishLaunching({"velquist"});
    SettingsWindow& window = world.delegate.settingsWindow();
    world.delegate.openSettings();
    for (const SettingsTab tab : SettingsTabs::all) {
        SCOPED_TRACE(SettingsTabs::rawValue(tab).toStdString());
        window.setSelection(tab);
        QStringList unnamed;
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
        ASSERT_TRUE(root);
        collectUnnamed(root, QString(), unnamed);
        EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral("\n")).toStdString();
    }
    world.delegate.applicationWillTerminate();
    QAccessible::setActive(false);
}

} // namespace
