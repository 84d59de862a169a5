#pragma once

#include "Core/Clock.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velquist {

// One allowance of an agent account that fills up and resets on its own clock.
struct QuotaWindow
{
    std::string id;          // "session", "weekly", "weekly-<model>", or the limit's own kind
    std::string displayName; // shown to the user
    double usagePercent = 0; // as delivered, never clamped here
    std::optional<Clock::WallTime> resetsAt;

    bool operator==(const QuotaWindow&) const = default;
};

// The windows read at one moment, in the provider's order.
struct QuotaData
{
    std::vector<QuotaWindow> windows;
    std::optional<std::string> planName;
    Clock::WallTime fetchedAt;

    bool operator==(const QuotaData&) const = default;

    // The window with the highest use; the earliest on a tie.
    std::optional<QuotaWindow> mostUsed() const;
    // The first window with exactly this id.
    std::optional<QuotaWindow> window(const std::string& id) const;
};

// Why a usage read failed. Carries no text: the settings tab words each case.
struct UsageError
{
    enum class Kind { rateLimited, http, notAuthenticated, missingProfileScope, transport };

    Kind kind = Kind::transport;
    // rateLimited: the server's wait in seconds, when it gave a usable one.
    std::optional<double> retryAfter;
    // http: the status.
    int status = 0;

    static UsageError rateLimited(std::optional<double> seconds) { return {Kind::rateLimited, seconds, 0}; }
    static UsageError http(int status) { return {Kind::http, std::nullopt, status}; }
    static UsageError notAuthenticated() { return {Kind::notAuthenticated, std::nullopt, 0}; }
    static UsageError missingProfileScope() { return {Kind::missingProfileScope, std::nullopt, 0}; }
    static UsageError transport() { return {Kind::transport, std::nullopt, 0}; }

    bool operator==(const UsageError&) const = default;
    // "rateLimited(120)", "http(403)", "transport", for traces.
    std::string description() const;
};

// A provider's answer: a reading or the reason there is none.
template <typename Value> using UsageResult = std::variant<Value, UsageError>;

} // namespace velquist
