#include "Settings/PrivacySettingsTab.h"
#include "support/AttentionWorld.h"
#include "support/WidgetFinder.h"

#include "Settings/SettingsSwitch.h"
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;

namespace {

const QString kManual = QStringLiteral("Active - the notch is staying shut");
const QString kMirrored = QStringLiteral("Active - displays are mirrored");

class PrivacySettingsTabTest : public ::testing::Test
{
  protected:
    PrivacySettingsTabTest() : tab(&world.privacy, &world.coordinator)
    {
        tab.resize(480, 480);
        tab.show();
    }

    SettingsSwitch& mode() { return *findNamed<SettingsSwitch>(tab, QStringLiteral("Privacy mode")); }
    SettingsSwitch& automatic()
    {
        return *findNamed<SettingsSwitch>(
            tab, QStringLiteral("Turn on automatically while displays are mirrored"));
    }
    // The status line under the switch, or empty while it is hidden.
    QString status()
    {
        for (const QString& text : {kManual, kMirrored}) {
            const QLabel* line = findNamed<QLabel>(tab, text);
            if (line && line->isVisibleTo(&tab))
                return text;
        }
        return {};
    }
    void mirror(bool mirrored)
    {
        world.mirroring.setMirrored(mirrored);
        world.mirroring.displaysChanged();
    }

    AttentionWorld world;
    PrivacySettingsTab tab;
};

TEST(PrivacySettingsTabNoticeTest, WithoutAGuardOnlyTheLaunchNoticeShows)
{
    PrivacySettingsTab tab(nullptr, nullptr);
    EXPECT_NE(findNamed<QLabel>(
                  tab, QStringLiteral("Privacy mode is available once the app has finished launching.")),
              nullptr);
    EXPECT_TRUE(tab.findChildren<SettingsSwitch*>().isEmpty());
}

TEST_F(PrivacySettingsTabTest, SwitchingOnKeepsThePanelShutAndSilent)
{
    EXPECT_FALSE(mode().isChecked());
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(automatic().isChecked()) << "on when never set";
    const int saves = world.defaults.saveCount();
    PrivacySettingsTab another(&world.privacy, &world.coordinator);
    EXPECT_EQ(world.defaults.saveCount(), saves) << "showing the tab writes nothing";

    mode().click();
    EXPECT_TRUE(world.privacy.isActive());
    EXPECT_EQ(world.defaults.boolValue("privacyModeOn"), true);
    EXPECT_EQ(status(), kManual);

    world.ask("claude:a");
    EXPECT_TRUE(world.sound.played().empty());
    EXPECT_EQ(world.coordinator.desiredPresentation(), PanelPresentation::collapsed);
}

TEST_F(PrivacySettingsTabTest, SwitchingOffAnnouncesAWaitingRequestUnlessSnoozed)
{
    mode().click();
    world.ask("claude:a");
    mode().click();
    EXPECT_FALSE(world.privacy.isActive());
    EXPECT_EQ(status(), "");
    EXPECT_EQ(world.sound.played(), std::vector<std::string>{"permission"});

    mode().click();
    world.coordinator.snooze();
    mode().click();
    EXPECT_EQ(world.sound.played().size(), 1u) << "a snooze holds the announcement back";
}

TEST_F(PrivacySettingsTabTest, MirroringTurnsTheModeOnUntilTheUserSaysOtherwise)
{
    mirror(true);
    EXPECT_TRUE(mode().isChecked()) << "without the user touching it";
    EXPECT_EQ(status(), kMirrored);

    mode().click();
    EXPECT_FALSE(mode().isChecked());
    mirror(true);
    EXPECT_FALSE(mode().isChecked()) << "off for the rest of this mirroring";
    automatic().click();
    automatic().click();
    EXPECT_TRUE(world.privacy.suppressWhenMirroring());
    EXPECT_FALSE(mode().isChecked()) << "the automatic setting does not undo the user's switch-off";

    mode().click();
    EXPECT_EQ(status(), kManual) << "switched on by hand while mirrored";

    mode().click();
    mirror(false);
    mirror(true);
    EXPECT_TRUE(mode().isChecked()) << "the next mirroring turns it on again";
    EXPECT_EQ(status(), kMirrored);
}

TEST_F(PrivacySettingsTabTest, TurningTheAutomaticSettingOffEndsMirroredPrivacyQuietly)
{
    world.ask("claude:a");
    world.sound.clear();
    mirror(true);
    ASSERT_TRUE(mode().isChecked());
    automatic().click();
    EXPECT_EQ(world.defaults.boolValue("privacySuppressWhenMirroring"), false);
    EXPECT_FALSE(mode().isChecked());
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(world.sound.played().empty()) << "the coordinator is not told";
}

} // namespace
