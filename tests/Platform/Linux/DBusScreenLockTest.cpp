#include "Platform/Linux/DBusScreenLock.h"
#include "support/PrivateBus.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;

namespace {

// The screen saver and logind on a private bus; the lock reads them over connections of its own.
class DBusScreenLockTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        services = bus.connect(QStringLiteral("services"));
        ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.login1")));
        const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                              QDBusConnection::ExportAllProperties;
        ASSERT_TRUE(
            services.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver, exported));
        ASSERT_TRUE(services.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager, exported));
        ASSERT_TRUE(services.registerObject(FakeLoginManager::sessionPath(), &session, exported));
    }
    std::unique_ptr<DBusScreenLock> makeLock(QString sessionID = {})
    {
        return std::make_unique<DBusScreenLock>(
            DBusScreenLock::Buses{bus.connect(QStringLiteral("session-side")),
                                  bus.connect(QStringLiteral("system-side")), sessionID, 4242});
    }

    PrivateBus bus;
    QDBusConnection services{QStringLiteral("none")};
    FakeScreenSaver screenSaver;
    FakeLoginManager manager;
    FakeLoginSession session;
};

TEST_F(DBusScreenLockTest, ReadsTheStateAtStartWithoutWaiting)
{
    screenSaver.active = true;
    const auto lock = makeLock();
    EXPECT_TRUE(lock->canDetectLock());
    EXPECT_FALSE(lock->isScreenLocked()); // nothing known yet; the answer comes later
    EXPECT_TRUE(waitUntil([&] { return lock->isScreenLocked(); }));
    EXPECT_EQ(manager.asked, QStringList{QStringLiteral("pid 4242")});
}

TEST_F(DBusScreenLockTest, FollowsTheScreenSaversSignal)
{
    const auto lock = makeLock();
    ASSERT_TRUE(waitUntil([&] { return !manager.asked.isEmpty(); }));
    settle();
    int changes = 0;
    QObject::connect(lock.get(), &DBusScreenLock::lockedChanged, [&] { ++changes; });
    Q_EMIT screenSaver.ActiveChanged(true);
    EXPECT_TRUE(waitUntil([&] { return lock->isScreenLocked(); }));
    Q_EMIT screenSaver.ActiveChanged(false);
    EXPECT_TRUE(waitUntil([&] { return !lock->isScreenLocked(); }));
    EXPECT_EQ(changes, 2);
}

TEST_F(DBusScreenLockTest, FollowsLogindsLockedHintOfOurSession)
{
    session.locked = true;
    const auto lock = makeLock(QStringLiteral("c7"));
    EXPECT_TRUE(waitUntil([&] { return lock->isScreenLocked(); }));
    EXPECT_EQ(manager.asked, QStringList{QStringLiteral("id c7")});
    session.setLocked(services, false);
    EXPECT_TRUE(waitUntil([&] { return !lock->isScreenLocked(); }));
    session.setLocked(services, true);
    EXPECT_TRUE(waitUntil([&] { return lock->isScreenLocked(); }));
}

TEST(DBusScreenLockWithoutBusesTest, NeverLocked)
{
    DBusScreenLock lock(
        {QDBusConnection(QStringLiteral("missing-1")), QDBusConnection(QStringLiteral("missing-2")), {}, 1});
    EXPECT_FALSE(lock.canDetectLock());
    settle();
    EXPECT_FALSE(lock.isScreenLocked());
}

} // namespace
