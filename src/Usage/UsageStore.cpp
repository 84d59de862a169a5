#include "Usage/UsageStore.h"

#include "Platform/UserDefaults.h"
#include "Shared/Log.h"
#include "Usage/UsageSource.h"

#include <QDateTime>
#include <algorithm>
#include <limits>
#include <memory>

namespace velquist {

namespace {

constexpr const char* kEnabledKey = "usageEnabled";
constexpr const char* kThresholdKey = "usageAlertThreshold";
constexpr const char* kProviderKey = "usageProvider";

std::string formatted(double value)
{
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

// "rateLimited(120)", "http(403)", "transport", for traces.
std::string describe(const UsageError& error)
{
    switch (error.kind) {
    case UsageError::Kind::rateLimited:
        return error.retryAfter ? "rateLimited(" + formatted(*error.retryAfter) + ")" : "rateLimited";
    case UsageError::Kind::http:
        return "http(" + std::to_string(error.status) + ")";
    case UsageError::Kind::notAuthenticated:
        return "notAuthenticated";
    case UsageError::Kind::loginExpired:
        return "loginExpired";
    case UsageError::Kind::missingProfileScope:
        return "missingProfileScope";
    case UsageError::Kind::transport:
        break;
    }
    return "transport";
}

} // namespace

UsageStore::UsageStore(Clock& clock, Scheduler& scheduler, UserDefaults& defaults, UsageSource& claude,
                       UsageSource& codex, QObject* parent)
    : QObject(parent), m_clock(clock), m_scheduler(scheduler), m_defaults(defaults), m_claude(claude),
      m_codex(codex), m_provider(defaults.stringValue(kProviderKey) == "codex" ? UsageProvider::codex
                                                                               : UsageProvider::claude),
      m_enabled(defaults.boolValue(kEnabledKey).value_or(true)), m_alertThreshold(kDefaultThreshold)
{
    if (const auto stored = defaults.value(kThresholdKey); stored && stored->is_number_integer())
        m_alertThreshold = static_cast<int>(std::clamp<std::int64_t>(
            stored->get<std::int64_t>(), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

UsageStore::~UsageStore()
{
    *m_alive = false;
}

std::string_view UsageStore::toString(UsageProvider provider)
{
    return provider == UsageProvider::codex ? "codex" : "claude";
}

UsageSource& UsageStore::source(UsageProvider provider) const
{
    return provider == UsageProvider::codex ? m_codex : m_claude;
}

void UsageStore::start()
{
    if (!m_enabled)
        return;
    stop();
    m_timer =
        ScheduledTimer(m_scheduler, m_scheduler.scheduleRepeating(kRefreshInterval, [this] { refresh(); }));
    refresh();
}

void UsageStore::stop()
{
    m_timer.cancel();
    m_fetch = 0;
    m_refreshWaiting = false;
    ++m_generation;
}

void UsageStore::refresh()
{
    if (!m_enabled)
        return;
    if (m_cooldownUntil && *m_cooldownUntil > m_clock.now())
        return;
    if (m_fetch != 0)
        return;
    UsageSource* const asked = &source(m_provider);
    setRefreshing(true);
    // A fetch of an earlier run may still be out on this source; a second must not overlap it, so
    // this one runs as soon as that one lands.
    if (m_busySources.contains(asked)) {
        m_refreshWaiting = true;
        return;
    }
    m_busySources.insert(asked);
    const std::uint64_t fetch = m_nextFetch++;
    const std::uint64_t generation = m_generation;
    m_fetch = fetch;
    std::weak_ptr<bool> alive = m_alive;
    asked->fetch([this, alive, fetch, generation, asked](UsageResult<QuotaData> outcome) {
        if (const auto live = alive.lock(); live && *live)
            complete(fetch, generation, asked, std::move(outcome));
    });
}

void UsageStore::complete(std::uint64_t fetch, std::uint64_t generation, UsageSource* asked,
                          UsageResult<QuotaData> outcome)
{
    m_busySources.erase(asked);
    if (generation == m_generation) {
        if (auto* data = std::get_if<QuotaData>(&outcome)) {
            setQuota(*data);
            setError(std::nullopt);
            m_cooldownUntil.reset();
            checkThresholds(*data);
        } else {
            apply(std::get<UsageError>(outcome));
        }
    }
    // Only this fetch's own handle is let go: a newer fetch may be in flight already.
    if (m_fetch == fetch)
        m_fetch = 0;
    if (m_refreshWaiting && asked == &source(m_provider)) {
        m_refreshWaiting = false;
        refresh();
    }
    if (m_fetch == 0 && !m_refreshWaiting)
        setRefreshing(false);
}

void UsageStore::apply(const UsageError& error)
{
    setError(error);
    if (error.kind == UsageError::Kind::rateLimited) {
        const double seconds = error.retryAfter.value_or(kDefaultCooldownSeconds);
        m_cooldownUntil = m_clock.now() + std::chrono::duration_cast<Clock::WallTime::duration>(
                                              std::chrono::duration<double>(seconds));
        Log::debug("usage",
                   "rate limited, backing off until " +
                       QDateTime::fromSecsSinceEpoch(std::chrono::duration_cast<std::chrono::seconds>(
                                                         m_cooldownUntil->time_since_epoch())
                                                         .count())
                           .toString(Qt::ISODate)
                           .toStdString());
    }
    Log::debug("usage", "fetch failed (" + describe(error) + ")");
}

void UsageStore::checkThresholds(const QuotaData& data)
{
    if (m_alertThreshold > 100)
        return;
    for (const QuotaWindow& window : data.windows) {
        if (!(window.usagePercent >= static_cast<double>(m_alertThreshold))) {
            m_warned.erase(window.id);
            continue;
        }
        if (!m_warned.insert(window.id).second)
            continue;
        Log::debug("usage", window.id + " crossed " + formatted(m_alertThreshold) + "%");
        if (onThresholdCrossed && !onThresholdCrossed(window))
            m_warned.erase(window.id);
    }
}

void UsageStore::setProvider(UsageProvider provider)
{
    if (provider == m_provider)
        return;
    m_provider = provider;
    m_defaults.setValue(kProviderKey, std::string(toString(provider)));
    // The old account's reading goes before anyone hears of the new account, so no view shows it
    // under the new name.
    const bool hadQuota = m_quota.has_value();
    m_quota.reset();
    Q_EMIT providerChanged();
    if (hadQuota)
        Q_EMIT quotaChanged();
    Q_EMIT readingChanged();
    setError(std::nullopt);
    m_warned.clear();
    m_cooldownUntil.reset();
    // The previous account's reading in flight would stand under the new one: drop it, and read
    // the new account at once.
    m_fetch = 0;
    m_refreshWaiting = false;
    ++m_generation;
    refresh();
}

void UsageStore::setEnabled(bool enabled)
{
    m_defaults.setValue(kEnabledKey, enabled);
    if (enabled != m_enabled) {
        m_enabled = enabled;
        Q_EMIT isEnabledChanged();
        Q_EMIT readingChanged();
    }
    if (enabled)
        start();
    else
        stop();
}

void UsageStore::setAlertThreshold(int threshold)
{
    m_defaults.setValue(kThresholdKey, threshold);
    if (threshold != m_alertThreshold) {
        m_alertThreshold = threshold;
        Q_EMIT alertThresholdChanged();
    }
}

void UsageStore::setQuota(std::optional<QuotaData> quota)
{
    if (quota == m_quota)
        return;
    m_quota = std::move(quota);
    Q_EMIT quotaChanged();
    Q_EMIT readingChanged();
}

void UsageStore::setError(std::optional<UsageError> error)
{
    if (error == m_error)
        return;
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void UsageStore::setRefreshing(bool refreshing)
{
    if (refreshing == m_refreshing)
        return;
    m_refreshing = refreshing;
    Q_EMIT isRefreshingChanged();
}

} // namespace velquist
