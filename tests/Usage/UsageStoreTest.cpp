#include "Usage/UsageStore.h"
#include "Usage/UsageSource.h"
#include "support/HeldUsageSource.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"

#include <gtest/gtest.h>
#include <vector>

namespace velquist::test {
namespace {

using namespace std::chrono_literals;

class UsageStoreTest : public ::testing::Test
{
  protected:
    UsageStore& make()
    {
        store = std::make_unique<UsageStore>(clock, clock, defaults, claude, codex);
        store->onThresholdCrossed = [this](const QuotaWindow& window) {
            announced.push_back(window.id);
            return delivered;
        };
        return *store;
    }

    ManualScheduler clock;
    MemoryDefaults defaults;
    HeldUsageSource claude;
    HeldUsageSource codex;
    std::unique_ptr<UsageStore> store;
    std::vector<std::string> announced;
    // What the listener answers: false holds the warning back (a snooze, a locked screen).
    bool delivered = true;
};

TEST_F(UsageStoreTest, SettingsAreReadWithTheirDefaults)
{
    struct Case
    {
        nlohmann::json stored;
        UsageProvider provider;
        int threshold;
        bool enabled;
    };
    const Case cases[] = {
        {nlohmann::json::object(), UsageProvider::claude, 80, true},
        {{{"usageProvider", "codex"}, {"usageAlertThreshold", 90}, {"usageEnabled", false}},
         UsageProvider::codex,
         90,
         false},
        {{{"usageProvider", "Codex"}, {"usageAlertThreshold", "90"}, {"usageEnabled", "no"}},
         UsageProvider::claude,
         80,
         true},
        {{{"usageProvider", ""}, {"usageAlertThreshold", 101}}, UsageProvider::claude, 101, true},
    };
    for (const auto& [stored, provider, threshold, enabled] : cases) {
        MemoryDefaults values(stored);
        const UsageStore made(clock, clock, values, claude, codex);
        EXPECT_EQ(made.provider(), provider) << stored.dump();
        EXPECT_EQ(made.alertThreshold(), threshold) << stored.dump();
        EXPECT_EQ(made.isEnabled(), enabled) << stored.dump();
    }
}

TEST_F(UsageStoreTest, ThresholdsAreAnnouncedOncePerCrossing)
{
    auto& usage = make();
    usage.start();
    claude.answer(quotaOf({{"session", 95}, {"weekly", 85}, {"weekly-alpha", 79.99}}));
    EXPECT_EQ(announced, (std::vector<std::string>{"session", "weekly"}));

    // The same values again: nothing new. Then the session drops below and comes back exactly at 80.
    const std::pair<std::vector<std::pair<std::string, double>>, std::vector<std::string>> steps[] = {
        {{{"session", 95}, {"weekly", 85}}, {}},
        {{{"session", 79.99}, {"weekly", 85}}, {}},
        {{{"session", 80}, {"weekly", 85}}, {"session"}},
        // A window missing from a reading keeps its warning.
        {{{"session", 80}}, {}},
        {{{"session", 80}, {"weekly", 90}}, {}},
    };
    for (const auto& [windows, expected] : steps) {
        announced.clear();
        clock.advance(UsageStore::kRefreshInterval);
        claude.answer(quotaOf(windows));
        EXPECT_EQ(announced, expected) << windows.size();
    }
}

TEST_F(UsageStoreTest, AWarningHeldBackIsOfferedAgainWhileTheWindowStaysUp)
{
    auto& usage = make();
    usage.start();
    delivered = false;
    claude.answer(quotaOf({{"session", 95}, {"weekly", 85}}));
    EXPECT_EQ(announced, (std::vector<std::string>{"session", "weekly"}));

    // Next reading: the weekly window fell below meanwhile, so only the session is offered again.
    announced.clear();
    delivered = true;
    clock.advance(UsageStore::kRefreshInterval);
    claude.answer(quotaOf({{"session", 96}, {"weekly", 50}}));
    EXPECT_EQ(announced, std::vector<std::string>{"session"});

    announced.clear();
    clock.advance(UsageStore::kRefreshInterval);
    claude.answer(quotaOf({{"session", 97}, {"weekly", 50}}));
    EXPECT_TRUE(announced.empty()) << "delivered once, not repeated";
}

TEST_F(UsageStoreTest, NeverWarnsAboveOneHundredAndKeepsWhatWasWarned)
{
    auto& usage = make();
    usage.start();
    claude.answer(quotaOf({{"session", 95}}));
    usage.setAlertThreshold(101);
    clock.advance(UsageStore::kRefreshInterval);
    claude.answer(quotaOf({{"session", 10}}));
    usage.setAlertThreshold(80);
    clock.advance(UsageStore::kRefreshInterval);
    claude.answer(quotaOf({{"session", 95}}));
    EXPECT_EQ(announced, std::vector<std::string>{"session"}) << "the warning was not cleared while off";
    EXPECT_EQ(defaults.value("usageAlertThreshold"), nlohmann::json(80));
}

TEST_F(UsageStoreTest, OneFetchAtATimeAndFailuresKeepTheLastReading)
{
    auto& usage = make();
    usage.start();
    EXPECT_TRUE(usage.isRefreshing());
    usage.refresh();
    clock.advance(UsageStore::kRefreshInterval);
    EXPECT_EQ(claude.count(), 1);

    claude.answer(quotaOf({{"session", 10}}));
    EXPECT_FALSE(usage.isRefreshing());
    usage.refresh();
    claude.answer(UsageError::http(500));
    ASSERT_TRUE(usage.quota());
    EXPECT_EQ(usage.quota()->windows.front().usagePercent, 10);
    EXPECT_EQ(usage.error(), UsageError::http(500));
    EXPECT_FALSE(usage.cooldownUntil());

    usage.refresh();
    claude.answer(quotaOf({{"session", 20}}));
    EXPECT_EQ(usage.error(), std::nullopt);
}

TEST_F(UsageStoreTest, RateLimitsCoolDownForTheirTimeOrFifteenMinutes)
{
    struct Case
    {
        std::optional<double> retryAfter;
        std::chrono::milliseconds blocked;
    };
    for (const auto& [retryAfter, blocked] : {Case{60.0, 60s}, Case{std::nullopt, 900s}}) {
        HeldUsageSource source;
        UsageStore usage(clock, clock, defaults, source, codex);
        usage.start();
        source.answer(UsageError::rateLimited(retryAfter));
        clock.advance(blocked - 1s);
        usage.refresh();
        EXPECT_EQ(source.count(), 0) << "cooling down";
        clock.advance(1s);
        usage.refresh();
        EXPECT_EQ(source.count(), 1) << "cool-down over";
        source.answer(quotaOf({{"session", 1}}));
        EXPECT_FALSE(usage.cooldownUntil());
    }
}

TEST_F(UsageStoreTest, StoppingOrRestartingDropsTheFetchInFlight)
{
    auto& usage = make();
    usage.start();
    usage.setEnabled(false);
    EXPECT_TRUE(usage.isRefreshing()) << "until the cancelled fetch lands";
    EXPECT_EQ(clock.pendingCount(), 0u);
    claude.answer(quotaOf({{"session", 99}}));
    EXPECT_FALSE(usage.quota());
    EXPECT_FALSE(usage.isRefreshing());
    EXPECT_TRUE(announced.empty());

    // Restarted while an old fetch is out: the source is asked again only once it has landed.
    usage.setEnabled(true);
    usage.start();
    ASSERT_EQ(claude.count(), 1) << "never two fetches of one source at once";
    EXPECT_TRUE(usage.isRefreshing());
    claude.answer(quotaOf({{"session", 98}}));
    EXPECT_FALSE(usage.quota()) << "an earlier run's reading is dropped";
    ASSERT_EQ(claude.count(), 1) << "the newer fetch starts as the old one lands";
    EXPECT_TRUE(usage.isRefreshing()) << "the newer fetch is out";
    usage.refresh();
    EXPECT_EQ(claude.count(), 1) << "and it still guards against a second";
    claude.answer(quotaOf({{"session", 50}}));
    ASSERT_TRUE(usage.quota());
    EXPECT_EQ(usage.quota()->windows.front().usagePercent, 50);
    EXPECT_FALSE(usage.isRefreshing());
}

TEST_F(UsageStoreTest, AFetchLandingAfterTheStoreWentDoesNothing)
{
    auto& usage = make();
    usage.start();
    store.reset();
    claude.answer(quotaOf({{"session", 99}}));
    EXPECT_TRUE(announced.empty());
}

TEST_F(UsageStoreTest, ThePanelHearsOfEveryChangeOfWhatItShows)
{
    auto& usage = make();
    std::vector<UsageReading> shown;
    QObject::connect(&usage, &UsageStore::readingChanged, [&] { shown.push_back(usage.reading()); });
    usage.start();
    claude.answer(quotaOf({{"session", 40}}));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown.back().isEnabled);
    EXPECT_EQ(shown.back().quota, usage.quota());

    // A failure keeps the reading: nothing to redraw.
    usage.refresh();
    claude.answer(UsageError::transport());
    EXPECT_EQ(shown.size(), 1u);

    usage.setProvider(UsageProvider::codex);
    ASSERT_EQ(shown.size(), 2u) << "one change, never the old account's reading under the new name";
    EXPECT_EQ(shown.back(), (UsageReading{true, std::nullopt, UsageProvider::codex}));

    usage.setEnabled(false);
    EXPECT_FALSE(shown.back().isEnabled);
}

TEST_F(UsageStoreTest, ChangingTheAccountStartsAfresh)
{
    auto& usage = make();
    usage.start();
    claude.answer(UsageError::rateLimited(600.0));
    usage.setProvider(UsageProvider::claude);
    EXPECT_TRUE(usage.error());

    usage.setProvider(UsageProvider::codex);
    EXPECT_EQ(usage.error(), std::nullopt);
    EXPECT_FALSE(usage.cooldownUntil());
    EXPECT_EQ(codex.count(), 1);
    EXPECT_EQ(defaults.stringValue("usageProvider"), "codex");
    codex.answer(quotaOf({{"session", 90}}));
    EXPECT_EQ(announced, std::vector<std::string>{"session"});
}

TEST_F(UsageStoreTest, SwitchingAccountsBackAndForthNeverOverlapsFetchesOfOneAccount)
{
    auto& usage = make();
    usage.start();
    usage.setProvider(UsageProvider::codex);
    usage.setProvider(UsageProvider::claude);
    usage.refresh();
    EXPECT_EQ(claude.count(), 1);
    EXPECT_EQ(codex.count(), 1);

    codex.answer(quotaOf({{"codex", 90}}));
    EXPECT_TRUE(usage.isRefreshing()) << "still waiting to read the chosen account";
    EXPECT_EQ(claude.count(), 1);
    claude.answer(quotaOf({{"old", 90}}));
    ASSERT_EQ(claude.count(), 1) << "read afresh once the earlier fetch has landed";
    claude.answer(quotaOf({{"session", 30}}));
    EXPECT_EQ(usage.quota(), quotaOf({{"session", 30}}));
    EXPECT_FALSE(usage.isRefreshing());
    EXPECT_TRUE(announced.empty());

    // Stopped meanwhile, the waiting reading is not taken.
    usage.setProvider(UsageProvider::codex);
    usage.setProvider(UsageProvider::claude);
    usage.setProvider(UsageProvider::codex);
    EXPECT_EQ(codex.count(), 1);
    usage.stop();
    codex.answer(quotaOf({{"codex", 1}}));
    EXPECT_EQ(codex.count(), 0);
    EXPECT_FALSE(usage.isRefreshing());
}

TEST_F(UsageStoreTest, DisabledStoreFetchesNothing)
{
    defaults.setValue("usageEnabled", false);
    auto& usage = make();
    usage.start();
    usage.refresh();
    clock.advance(UsageStore::kRefreshInterval * 2);
    EXPECT_EQ(claude.count(), 0);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

} // namespace
} // namespace velquist::test
