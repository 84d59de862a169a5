#include "Platform/Linux/DesktopUrlOpener.h"

#include "support/PrivateBus.h"
#include "support/WaitUntil.h"

#include <QObject>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;

namespace {

// What one opening came to: whether it was reported opened, and what the fallback was handed.
struct Opening
{
    std::optional<bool> opened;
    QStringList fallenBack;
};

Opening openWith(DesktopUrlOpener& opener, const std::string& url, QStringList& fallbackLog)
{
    QObject context;
    Opening result;
    fallbackLog.clear();
    opener.open(url, &context, [&result](bool ok) { result.opened = ok; });
    waitUntil([&result] { return result.opened.has_value(); });
    result.fallenBack = fallbackLog;
    return result;
}

} // namespace

TEST(DesktopUrlOpenerTest, ThePortalOpensWhereItIsElseTheDesktopsHandlerAndEachFailureIsReported)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    QStringList fallbackLog;
    bool fallbackOpens = true;
    const DesktopUrlOpener::Fallback fallback = [&](const QUrl& url) {
        fallbackLog << url.toString(QUrl::FullyEncoded);
        return fallbackOpens;
    };
    const std::string url = "myterm://focus?d=/a%20b;$(touch x)";

    // No portal on the bus: the desktop's handler, and its answer.
    DesktopUrlOpener withoutPortal(bus.connect(QStringLiteral("application")), fallback);
    auto opening = openWith(withoutPortal, url, fallbackLog);
    EXPECT_EQ(opening.opened, true);
    EXPECT_EQ(opening.fallenBack,
              QStringList{QUrl(QString::fromStdString(url)).toString(QUrl::FullyEncoded)});
    fallbackOpens = false;
    EXPECT_EQ(openWith(withoutPortal, url, fallbackLog).opened, false);

    FakeOpenUriPortal portal;
    QDBusConnection services = bus.connect(QStringLiteral("portal"));
    portal.connection = services;
    ASSERT_TRUE(services.registerService(QString::fromLatin1(DesktopUrlOpener::kService)));
    ASSERT_TRUE(services.registerObject(QString::fromLatin1(DesktopUrlOpener::kPath), &portal,
                                        QDBusConnection::ExportAllSlots));
    DesktopUrlOpener opener(bus.connect(QStringLiteral("application2")), fallback);
    EXPECT_TRUE(opener.canOpenUrls());
    opening = openWith(opener, url, fallbackLog);
    EXPECT_EQ(opening.opened, true);
    EXPECT_TRUE(opening.fallenBack.isEmpty());
    EXPECT_EQ(portal.opened, QStringList{QString::fromStdString(url)}) << "handed over exactly as given";

    // Refused by the portal: the handler is tried.
    portal.refuse = true;
    fallbackOpens = true;
    opening = openWith(opener, url, fallbackLog);
    EXPECT_EQ(opening.opened, true);
    EXPECT_EQ(opening.fallenBack.size(), 1);

    // Nothing that is no URL goes anywhere.
    portal.opened.clear();
    for (const std::string bad : {"", "-n", "no scheme", "://x"}) {
        opening = openWith(opener, bad, fallbackLog);
        EXPECT_EQ(opening.opened, false) << bad;
        EXPECT_TRUE(opening.fallenBack.isEmpty()) << bad;
    }
    EXPECT_TRUE(portal.opened.isEmpty());
}
