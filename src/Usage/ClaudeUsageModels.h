#pragma once

#include "Platform/Clock.h"

#include <optional>
#include <string>
#include <vector>

namespace velquist {

// One allowance of the account that fills up and resets on its own clock.
struct QuotaWindow
{
    std::string id;          // "session", "weekly", "weekly-<model>", ...
    std::string displayName; // the label shown to the user
    double usagePercent = 0; // as the provider delivers it; views clamp, this does not
    std::optional<Clock::WallTime> resetsAt;

    bool operator==(const QuotaWindow&) const = default;

    // Time left until the reset at `now`: "2d 5h", "1h 30m", "45m"; none without a reset or when it
    // is less than a second away.
    std::optional<std::string> timeRemaining(Clock::WallTime now) const;
};

// The windows read at one moment.
struct QuotaData
{
    std::vector<QuotaWindow> windows; // in the provider's order
    std::optional<std::string> planName;
    Clock::WallTime fetchedAt;

    bool operator==(const QuotaData&) const = default;

    // The window with the highest usage; the earliest one on a tie.
    std::optional<QuotaWindow> mostUsed() const;
    // The first window with exactly this id.
    std::optional<QuotaWindow> window(const std::string& id) const;
};

// Why a usage read failed.
struct UsageError
{
    // `loginExpired`: a login exists but its token has expired or was refused; the owning agent
    // refreshes it when it next runs.
    enum class Kind { rateLimited, http, notAuthenticated, loginExpired, missingProfileScope, transport };

    Kind kind = Kind::transport;
    std::optional<double> retryAfter; // seconds, for `rateLimited` when the server gave a usable value
    int status = 0;                   // for `http`

    static UsageError rateLimited(std::optional<double> retryAfter)
    {
        return {Kind::rateLimited, retryAfter, 0};
    }
    static UsageError http(int status) { return {Kind::http, std::nullopt, status}; }
    static UsageError notAuthenticated() { return {Kind::notAuthenticated, std::nullopt, 0}; }
    static UsageError loginExpired() { return {Kind::loginExpired, std::nullopt, 0}; }
    static UsageError missingProfileScope() { return {Kind::missingProfileScope, std::nullopt, 0}; }
    static UsageError transport() { return {Kind::transport, std::nullopt, 0}; }

    // By case and that case's payload only.
    bool operator==(const UsageError& other) const;
};

} // namespace velquist
