#include "Settings/DisplaySettingsSection.h"
#include "Settings/GeneralSettingsTab.h"
#include "Settings/SettingsSwitch.h"
#include "Windows/NotchPanel.h"
#include "Windows/NotchScreenController.h"
#include "Windows/NotchWindowManager.h"
#include "Windows/PanelWorld.h"
#include "support/RecordingLoginItem.h"
#include "support/WaitUntil.h"

#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

// The General tab and the panels over one set of settings and screens, as in the application.
class SettingsPlacementTest : public ::testing::Test, public test::PanelWorld
{
  protected:
    SettingsPlacementTest()
    {
        screens.attached = {laptop, monitor};
        manager =
            std::make_unique<NotchWindowManager>(NotchWindowManager::Services{services, screens, windows});
        manager->start();
        tab = std::make_unique<GeneralSettingsTab>(
            GeneralSettingsTab::Services{defaults, loginItem, screens, {}, [] {}});
        tab->show();
    }

    std::vector<std::string> shown() const
    {
        std::vector<std::string> result;
        for (const auto& controller : manager->controllers()) {
            if (controller->panel().isVisible())
                result.push_back(controller->screenID());
        }
        return result;
    }

    void choose(const QString& row)
    {
        QComboBox& picker = tab->displaySection().placementPicker();
        const int index = picker.findText(row);
        ASSERT_GE(index, 0) << row.toStdString();
        picker.setCurrentIndex(index);
        Q_EMIT picker.activated(index);
        QCoreApplication::processEvents();
    }

    const ScreenInfo laptop = screen("eDP-1", {0, 0, 1440, 900});
    const ScreenInfo monitor = screen("HDMI-1", {1440, 0, 1920, 1080});
    test::RecordingLoginItem loginItem;
    std::unique_ptr<NotchWindowManager> manager;
    std::unique_ptr<GeneralSettingsTab> tab;
};

} // namespace

TEST_F(SettingsPlacementTest, ChoosingWhereTheNotchShowsMovesThePanelsAtOnce)
{
    EXPECT_EQ(shown(), (std::vector<std::string>{idOf(laptop), idOf(monitor)}));
    choose("HDMI-1");
    EXPECT_EQ(shown(), std::vector<std::string>{idOf(monitor)});
    choose("eDP-1");
    EXPECT_EQ(shown(), std::vector<std::string>{idOf(laptop)});
    choose("All displays");
    EXPECT_EQ(shown(), (std::vector<std::string>{idOf(laptop), idOf(monitor)}));
}

TEST_F(SettingsPlacementTest, HidingOverFullScreenAppsTakesThePanelOffThatScreen)
{
    WindowInfo video = test::RecordingWindowSystem::makeWindow(9, 99, "video");
    video.frame = monitor.geometry;
    video.isFullScreen = true;
    windows.setWindows({video});
    SettingsSwitch& hide = tab->displaySection().fullScreenSwitch();
    QTest::mouseClick(&hide, Qt::LeftButton, {}, QPoint(hide.width() - 10, hide.height() / 2));
    ASSERT_EQ(defaults.boolValue("hidesOverFullScreen"), true);
    // The windows are read on a worker; the panel leaves the monitor when they are in.
    EXPECT_TRUE(test::waitUntil([&] { return shown() == std::vector<std::string>{idOf(laptop)}; }));
}
