#include "Platform/Linux/QtScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace velquist;

TEST(QtScreenProviderTest, ReportsEveryScreenPrimaryFirstWithoutAHousing)
{
    QtScreenProvider provider;
    EXPECT_FALSE(provider.canReportNotch());
    const auto screens = provider.screens();
    ASSERT_EQ(screens.size(), std::size_t(QGuiApplication::screens().size()));
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front().connector, QGuiApplication::primaryScreen()->name());
    for (const ScreenInfo& screen : screens) {
        EXPECT_EQ(screen.safeAreaTop, 0);
        EXPECT_FALSE(screen.auxiliaryTopLeft);
        EXPECT_FALSE(screen.auxiliaryTopRight);
        EXPECT_FALSE(screen.geometry.isEmpty());
    }
}
