#include "Platform/Linux/PortalMotionPreference.h"
#include "support/PrivateBus.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;

namespace {

class PortalMotionPreferenceTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        services = bus.connect(QStringLiteral("portal"));
        portal.connection = services;
        ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(
            services.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    }
    std::unique_ptr<PortalMotionPreference> make()
    {
        return std::make_unique<PortalMotionPreference>(bus.connect(QStringLiteral("application")));
    }

    PrivateBus bus;
    QDBusConnection services{QStringLiteral("none")};
    FakeSettingsPortal portal;
};

} // namespace

TEST_F(PortalMotionPreferenceTest, ReadsTheDesktopsAnimationSetting)
{
    struct Case
    {
        const char* what;
        bool oldPortal;
        bool animations;
    };
    const Case cases[] = {
        {"animations off", false, false},
        {"animations on", false, true},
        {"older portal, animations off", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        portal.oldPortal = c.oldPortal;
        portal.value = c.animations;
        portal.asked.clear();
        auto preference = make();
        EXPECT_FALSE(preference->canReportReduceMotion()) << "the answer never blocks the caller";
        ASSERT_TRUE(waitUntil([&] { return preference->canReportReduceMotion(); }));
        EXPECT_EQ(preference->reducesMotion(), !c.animations);
        EXPECT_TRUE(
            portal.asked.contains(QStringLiteral("ReadOne org.gnome.desktop.interface enable-animations")));
    }
}

TEST_F(PortalMotionPreferenceTest, FollowsChanges)
{
    portal.value = true;
    auto preference = make();
    int changes = 0;
    QObject::connect(preference.get(), &MotionPreference::changed, [&] { ++changes; });
    ASSERT_TRUE(waitUntil([&] { return preference->canReportReduceMotion(); }));
    portal.change(services, false);
    EXPECT_TRUE(waitUntil([&] { return preference->reducesMotion(); }));
    portal.change(services, true);
    EXPECT_TRUE(waitUntil([&] { return !preference->reducesMotion(); }));
    EXPECT_EQ(changes, 3);
}

TEST_F(PortalMotionPreferenceTest, WithoutTheKeyMotionStaysOn)
{
    portal.value = QVariant();
    auto preference = make();
    ASSERT_TRUE(waitUntil([&] { return !portal.asked.isEmpty(); }));
    settle();
    EXPECT_FALSE(preference->canReportReduceMotion());
    EXPECT_FALSE(preference->reducesMotion());
}

TEST(PortalMotionPreferenceWithoutBusTest, ReportsNothing)
{
    PortalMotionPreference preference(QDBusConnection(QStringLiteral("not-connected")));
    EXPECT_FALSE(preference.canReportReduceMotion());
    EXPECT_FALSE(preference.reducesMotion());
}
