#pragma once

#include "Core/Scheduler.h"
#include "Platform/Clock.h"
#include "Usage/ClaudeUsageModels.h"
#include "Usage/UsageProvider.h"
#include "Usage/UsageReading.h"
#include "Usage/UsageSource.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace velquist {

class UserDefaults;

// The one long-lived owner of usage: reads the chosen account's quota windows every five minutes
// and on demand, one fetch at a time, keeps the last reading and the last failure, waits out a
// rate limit, and announces once each window that reaches the warning threshold. Main thread.
class UsageStore final : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kRefreshInterval{300'000};
    // How long a rate limit without a usable Retry-After blocks fetching.
    static constexpr double kDefaultCooldownSeconds = 900;
    static constexpr int kDefaultThreshold = 80;

    // Reads "usageEnabled", "usageAlertThreshold" and "usageProvider". Starts nothing.
    UsageStore(Clock& clock, Scheduler& scheduler, UserDefaults& defaults, UsageSource& claude,
               UsageSource& codex, QObject* parent = nullptr);
    ~UsageStore() override;

    // When enabled: restarts the five-minute timer and asks for a reading now.
    void start();
    // Stops the timer and lets go of the fetch in flight, whose outcome is then dropped.
    void stop();
    // Asks for one reading now, unless disabled, cooling down or already fetching. While a fetch
    // of an earlier run is still out on the same source, the reading starts when that one lands.
    void refresh();

    UsageProvider provider() const { return m_provider; }
    // A new account drops the old one's reading, error, warnings and cool-down, and is read at once.
    void setProvider(UsageProvider provider);
    bool isEnabled() const { return m_enabled; }
    // Stored, then starts or stops the store (also when unchanged).
    void setEnabled(bool enabled);
    // In percent; above 100 never warns.
    int alertThreshold() const { return m_alertThreshold; }
    // Stored; the next reading is checked against it.
    void setAlertThreshold(int threshold);

    const std::optional<QuotaData>& quota() const { return m_quota; }
    const std::optional<UsageError>& error() const { return m_error; }
    bool isRefreshing() const { return m_refreshing; }
    // The kept reading is older than the last attempt, which failed because the login expired:
    // it is still shown, as an old one.
    bool isQuotaOld() const { return m_quota && m_error && m_error->kind == UsageError::Kind::loginExpired; }
    const std::optional<Clock::WallTime>& cooldownUntil() const { return m_cooldownUntil; }
    // What the panel's usage views show.
    UsageReading reading() const { return {m_enabled, m_quota, m_provider}; }

    // Called with each window that has reached the threshold, once until it drops below it again.
    // Returns whether the warning reached the user: one held back (a snooze, a locked screen) is
    // offered again with the next reading that still finds the window at the threshold.
    std::function<bool(const QuotaWindow&)> onThresholdCrossed;

    static std::string_view toString(UsageProvider provider);

  Q_SIGNALS:
    void providerChanged();
    void quotaChanged();
    void errorChanged();
    void isRefreshingChanged();
    void isEnabledChanged();
    void alertThresholdChanged();
    // What reading() gives has changed (on, quota or account): the panel's views read it again.
    void readingChanged();

  private:
    UsageSource& source(UsageProvider provider) const;
    void complete(std::uint64_t fetch, std::uint64_t generation, UsageSource* asked,
                  UsageResult<QuotaData> outcome);
    void apply(const UsageError& error);
    void checkThresholds(const QuotaData& data);
    void setQuota(std::optional<QuotaData> quota);
    void setError(std::optional<UsageError> error);
    void setRefreshing(bool refreshing);

    Clock& m_clock;
    Scheduler& m_scheduler;
    UserDefaults& m_defaults;
    UsageSource& m_claude;
    UsageSource& m_codex;
    UsageProvider m_provider;
    bool m_enabled;
    int m_alertThreshold;
    std::optional<QuotaData> m_quota;
    std::optional<UsageError> m_error;
    bool m_refreshing = false;
    ScheduledTimer m_timer;
    // The fetch in flight (0: none), and the run it belongs to: a fetch of an earlier run (before
    // a stop, a restart or a change of account) is dropped when it lands.
    std::uint64_t m_fetch = 0;
    std::uint64_t m_nextFetch = 1;
    std::uint64_t m_generation = 0;
    // The sources with a fetch out, of this run or an earlier one, and whether a reading was asked
    // for while the chosen account's source was still busy with an earlier run's fetch.
    std::set<const UsageSource*> m_busySources;
    bool m_refreshWaiting = false;
    std::set<std::string> m_warned;
    std::optional<Clock::WallTime> m_cooldownUntil;
    // Set to false when the store goes, so a fetch landing later does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace velquist
