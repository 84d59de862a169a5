#include "App/AppDelegate.h"
#include "Core/AttentionCoordinator.h"
#include "Core/CommandLookup.h"
#include "Settings/SettingsWindow.h"
#include "Settings/UsageSettingsTab.h"
#include "Usage/UsageStore.h"
#include "support/DelegateWorld.h"
#include "support/RecordingProcessRunner.h"
#include "support/WaitUntil.h"
#include "support/WidgetFinder.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

// A delegate that can run child processes (on a recording runner), so it builds its usage store.
class AppDelegateUsageTest : public ::testing::Test, protected test::DelegateWorld
{
  protected:
    AppServices withProcesses()
    {
        AppServices wired = services();
        wired.processRunner = &runner;
        wired.commandLookup = &lookup;
        return wired;
    }

    test::RecordingProcessRunner runner;
    CommandLookup lookup{runner, "/bin/false"};
    AppDelegate delegate{withProcesses()};
};

} // namespace

TEST_F(AppDelegateUsageTest, TheUsageStoreStartsWithTheApplication)
{
    ASSERT_NE(delegate.usage(), nullptr);
    EXPECT_FALSE(delegate.usage()->isRefreshing());

    delegate.applicationDidFinishLaunching({"velquist"});

    // Without Claude Code's credentials the reading ends before any request is sent.
    ASSERT_TRUE(test::waitUntil([&] { return delegate.usage()->error().has_value(); }));
    EXPECT_EQ(delegate.usage()->error(), UsageError::notAuthenticated());
}

TEST_F(AppDelegateUsageTest, AWindowAtTheThresholdIsAnnouncedByTheCoordinator)
{
    delegate.applicationDidFinishLaunching({"velquist"});
    ASSERT_TRUE(delegate.usage()->onThresholdCrossed);
    const QuotaWindow session{"session", "Session", 92, std::nullopt};

    delegate.privacy().setActive(true);
    EXPECT_FALSE(delegate.usage()->onThresholdCrossed(session)) << "held back, so offered again";
    EXPECT_TRUE(soundOutput.played().empty());

    delegate.privacy().setActive(false);
    EXPECT_TRUE(delegate.usage()->onThresholdCrossed(session));
    EXPECT_EQ(soundOutput.played().size(), 1u);
}

TEST(AppDelegateWithoutProcessesTest, HasNoUsageStore)
{
    test::DelegateWorld world;
    AppDelegate delegate(world.services());
    EXPECT_EQ(delegate.usage(), nullptr);
    delegate.applicationDidFinishLaunching({"velquist"});
    delegate.applicationWillTerminate();
}

TEST_F(AppDelegateUsageTest, TheUsageTabEditsTheStoreOnceStartedUp)
{
    SettingsWindow& window = delegate.settingsWindow();
    window.setSelection(SettingsTab::usage);
    EXPECT_NE(test::findNamed<QLabel>(
                  *window.page(), QStringLiteral("Usage is available once the app has finished launching.")),
              nullptr);

    delegate.applicationDidFinishLaunching({"velquist"});
    window.setSelection(SettingsTab::usage);
    ASSERT_NE(dynamic_cast<UsageSettingsTab*>(window.page()), nullptr);
    ASSERT_TRUE(test::waitUntil([&] { return delegate.usage()->error().has_value(); }));
    EXPECT_NE(
        test::findNamed<QLabel>(
            *window.page(), UsageSettingsTab::message(UsageError::notAuthenticated(), UsageProvider::claude)),
        nullptr);
    delegate.applicationWillTerminate();
}
