#pragma once

#include "Platform/Clock.h"
#include "Usage/ClaudeUsageModels.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// The body of the usage endpoint's success reply, in its two generations: a list of typed limits,
// and the older pair of a five-hour and a seven-day window. Every field is optional; a present
// field of the wrong type, or a date that does not parse, fails the whole reply.
struct ClaudeUsageResponse
{
    struct UsageWindow
    {
        std::optional<double> utilization;
        std::optional<Clock::WallTime> resetsAt;
    };
    struct Limit
    {
        std::optional<std::string> kind; // "session", "weekly_all", "weekly_scoped" or another
        std::optional<std::string> group;
        std::optional<double> percent;
        std::optional<Clock::WallTime> resetsAt;
        std::optional<std::string> modelName; // the scope's model, as shown to people
    };

    std::optional<UsageWindow> fiveHour;
    std::optional<UsageWindow> sevenDay;
    std::optional<std::vector<Limit>> limits;

    // None when the bytes are no JSON object or a field does not fit.
    static std::optional<ClaudeUsageResponse> decode(std::string_view body);

    // The windows of `limits`, in their order. Ids are made unique ("weekly-model",
    // "weekly-model-2"), since warnings are remembered per id.
    std::vector<QuotaWindow> windowsFromLimits() const;
    // The session and then the weekly window of the older fields, those present.
    std::vector<QuotaWindow> windowsFromLegacyFields() const;

    // An internet date-time with a zone ("2026-01-01T05:00:00Z", "...+02:00", fractions allowed).
    static std::optional<Clock::WallTime> parseDate(std::string_view text);
};

} // namespace velquist
