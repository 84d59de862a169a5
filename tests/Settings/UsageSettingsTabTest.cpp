#include "Settings/UsageSettingsTab.h"
#include "Settings/SettingsSwitch.h"
#include "Usage/UsageStore.h"
#include "support/HeldUsageSource.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/WidgetFinder.h"

#include <QPushButton>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;

namespace {

// A usage tab over a store whose reads wait until the test answers them.
class UsageSettingsTabTest : public ::testing::Test
{
  protected:
    UsageSettingsTabTest()
    {
        tab.resize(520, 640);
        tab.show();
    }

    bool shown(const QWidget* widget) const { return widget && widget->isVisibleTo(&tab); }
    bool showsText(const QString& text) const { return shown(findNamed<QLabel>(tab, text)); }
    SettingsSwitch& toggle() { return *findNamed<SettingsSwitch>(tab, QStringLiteral("Show usage limits")); }
    QComboBox* picker(const char* label) { return findNamed<QComboBox>(tab, QString::fromUtf8(label)); }
    QPushButton& checkNow() { return *findNamed<QPushButton>(tab, QStringLiteral("Check now")); }
    // The value shown beside a reading's label.
    QString valueOf(const char* label)
    {
        for (const QLabel* candidate : tab.findChildren<QLabel*>())
            if (candidate->accessibleName() == QString::fromUtf8(label) && shown(candidate))
                return candidate->text();
        return {};
    }
    QuotaData reading()
    {
        QuotaData data;
        data.planName = "Max";
        data.windows.push_back({"session", "Session", 79.5, clock.now() + 2h + 15min + 30s});
        data.windows.push_back({"weekly", "Week", 12.2, std::nullopt});
        return data;
    }

    ManualScheduler clock;
    MemoryDefaults defaults;
    HeldUsageSource claude;
    HeldUsageSource codex;
    UsageStore store{clock, clock, defaults, claude, codex};
    UsageSettingsTab tab{&store, clock};
};

TEST(UsageSettingsTabNoticeTest, WithoutAStoreOnlyTheLaunchNoticeShows)
{
    ManualScheduler clock;
    UsageSettingsTab tab(nullptr, clock);
    EXPECT_NE(
        findNamed<QLabel>(tab, QStringLiteral("Usage is available once the app has finished launching.")),
        nullptr);
    EXPECT_TRUE(tab.findChildren<SettingsSwitch*>().isEmpty());
    EXPECT_TRUE(tab.findChildren<QComboBox*>().isEmpty());
}

TEST_F(UsageSettingsTabTest, SwitchedOffOnlyTheSwitchAndTheFooterShow)
{
    EXPECT_TRUE(toggle().isChecked()) << "on when never set";
    toggle().click();
    EXPECT_FALSE(store.isEnabled());
    EXPECT_EQ(defaults.boolValue("usageEnabled"), false);
    EXPECT_FALSE(shown(picker("Account")));
    EXPECT_FALSE(shown(picker("Warn at")));
    EXPECT_FALSE(shown(&checkNow()));
    EXPECT_FALSE(showsText(QStringLiteral("No reading yet.")));
    EXPECT_TRUE(showsText(QStringLiteral(
        "Read from your Claude Code login on this computer, using the same account the CLI uses. Nothing is "
        "sent anywhere else. The quota is checked every few minutes rather than continuously, so this never "
        "costs you rate limit headroom.")));

    toggle().click();
    EXPECT_TRUE(store.isEnabled());
    EXPECT_TRUE(shown(picker("Account")));
    EXPECT_TRUE(store.isRefreshing()) << "switching on reads at once";
}

TEST_F(UsageSettingsTabTest, PickersWriteTheStoreAndFollowIt)
{
    ASSERT_NE(picker("Account"), nullptr);
    EXPECT_EQ(rowsOf(*picker("Account")), (QStringList{"Claude", "Codex"}));
    EXPECT_EQ(rowsOf(*picker("Warn at")), (QStringList{"70% used", "80% used", "90% used", "Never"}));
    EXPECT_EQ(picker("Warn at")->currentText(), "80% used");

    choose(*picker("Warn at"), QStringLiteral("Never"));
    EXPECT_EQ(store.alertThreshold(), 101);
    EXPECT_EQ(defaults.value("usageAlertThreshold"), 101);
    store.setAlertThreshold(70);
    EXPECT_EQ(picker("Warn at")->currentText(), "70% used");

    choose(*picker("Account"), QStringLiteral("Codex"));
    EXPECT_EQ(store.provider(), UsageProvider::codex);
    EXPECT_TRUE(showsText(QStringLiteral(
        "Read by asking the Codex CLI itself, using the login it already has. Nothing is sent anywhere else. "
        "Each check starts a short-lived `codex app-server`, which is why it happens every few minutes "
        "rather "
        "than continuously.")));
    EXPECT_EQ(codex.count(), 1);
    EXPECT_TRUE(showsText(QStringLiteral("Checking…")));
}

TEST_F(UsageSettingsTabTest, StatusShowsTheReadingThenAFailureInstead)
{
    EXPECT_TRUE(showsText(QStringLiteral("No reading yet.")));
    EXPECT_TRUE(checkNow().isEnabled());
    checkNow().click();
    EXPECT_TRUE(showsText(QStringLiteral("Checking…")));
    EXPECT_FALSE(checkNow().isEnabled()) << "one read at a time";

    claude.answer(reading());
    EXPECT_TRUE(checkNow().isEnabled());
    EXPECT_EQ(valueOf("Plan"), "Max");
    EXPECT_EQ(valueOf("Session"), "80% used, resets in 2h 15m");
    EXPECT_EQ(valueOf("Week"), "12% used");

    checkNow().click();
    claude.answer(UsageError::http(503));
    EXPECT_TRUE(showsText(QStringLiteral("Anthropic returned an error (503).")));
    EXPECT_FALSE(showsText(QStringLiteral("Max"))) << "the reading is hidden while a failure shows";
    EXPECT_EQ(valueOf("Session"), "");
    EXPECT_TRUE(shown(&checkNow()));
}

TEST_F(UsageSettingsTabTest, AnExpiredLoginSaysSoAndKeepsTheLastReadingMarkedOld)
{
    checkNow().click();
    claude.answer(reading());
    checkNow().click();
    claude.answer(UsageError::loginExpired());
    EXPECT_TRUE(showsText(UsageSettingsTab::message(UsageError::loginExpired(), UsageProvider::claude)));
    EXPECT_TRUE(store.isQuotaOld());
    EXPECT_EQ(valueOf("Session"), "80% used") << "no reset time that may have passed";
    EXPECT_EQ(valueOf("Week"), "12% used");
    bool markedOld = false;
    for (const QLabel* label : tab.findChildren<QLabel*>())
        markedOld =
            markedOld || (shown(label) && label->text().startsWith(QStringLiteral("Old reading, from ")));
    EXPECT_TRUE(markedOld);

    // Refreshed by Claude Code: the new reading replaces the old one and its mark.
    checkNow().click();
    claude.answer(reading());
    EXPECT_FALSE(store.isQuotaOld());
    EXPECT_EQ(valueOf("Session"), "80% used, resets in 2h 15m");
}

TEST_F(UsageSettingsTabTest, CheckNowDuringARateLimitFetchesNothing)
{
    checkNow().click();
    claude.answer(UsageError::rateLimited(600));
    EXPECT_TRUE(checkNow().isEnabled());
    checkNow().click();
    EXPECT_EQ(claude.count(), 0);
    EXPECT_TRUE(showsText(UsageSettingsTab::message(UsageError::rateLimited(600), UsageProvider::claude)));
}

TEST(UsageSettingsTabTextTest, FailuresAreWordedPerAccountOnlyWhenSignedOut)
{
    const struct
    {
        UsageError error;
        UsageProvider provider;
        const char* text;
    } cases[] = {
        {UsageError::rateLimited(std::nullopt), UsageProvider::codex,
         "Anthropic asked us to slow down. The next check is delayed; nothing is wrong with your account."},
        {UsageError::http(403), UsageProvider::claude, "Anthropic returned an error (403)."},
        {UsageError::notAuthenticated(), UsageProvider::codex,
         "No Codex CLI found, or it is not signed in. Run `codex` in a terminal and sign in."},
        {UsageError::notAuthenticated(), UsageProvider::claude,
         "No Claude Code login found on this computer. Run `claude` in a terminal and sign in."},
        {UsageError::loginExpired(), UsageProvider::claude,
         "The Claude Code login on this computer has expired. Run `claude` once in a terminal to refresh "
         "it."},
        {UsageError::missingProfileScope(), UsageProvider::claude,
         "This login cannot read usage. It was created by `claude setup-token`, which omits the scope the "
         "usage "
         "endpoint needs; run `claude /login` to sign in again."},
        {UsageError::transport(), UsageProvider::codex, "Could not reach Anthropic. Check your connection."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageSettingsTab::message(c.error, c.provider), QString::fromUtf8(c.text));
}

TEST(UsageSettingsTabTextTest, PercentagesRoundHalfAwayFromZero)
{
    const struct
    {
        double percent;
        std::optional<std::string> left;
        const char* text;
    } cases[] = {
        {79.5, std::nullopt, "80% used"},     {79.49, std::nullopt, "79% used"},
        {0, "45m", "0% used, resets in 45m"}, {100, "2d 5h", "100% used, resets in 2d 5h"},
        {104.6, std::nullopt, "105% used"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageSettingsTab::windowValue(c.percent, c.left), QString::fromUtf8(c.text)) << c.percent;
}

} // namespace
