#include "Usage/ClaudeUsageModels.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono;

namespace {

const Clock::WallTime kNow = Clock::WallTime(seconds(1'800'000'000));

QuotaWindow at(std::string id, double percent)
{
    return {std::move(id), "", percent, std::nullopt};
}

} // namespace

TEST(QuotaModelTest, TimeRemainingText)
{
    struct Case
    {
        std::optional<Clock::WallTime::duration> ahead;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {milliseconds(500), std::nullopt},
        {milliseconds(999), std::nullopt},
        {seconds(-30), std::nullopt},
        {seconds(0), std::nullopt},
        {seconds(1), "1m"},
        {milliseconds(1'500), "1m"},
        {seconds(119), "1m"},
        {seconds(120), "2m"},
        {seconds(3'599), "59m"},
        {seconds(3'600), "1h 0m"},
        {seconds(5'400), "1h 30m"},
        {seconds(86'399), "23h 59m"},
        {seconds(86'400), "1d 0h"},
        {hours(53) + minutes(59), "2d 5h"},
        {hours(24 * 400), "400d 0h"},
    };
    for (const Case& c : cases) {
        QuotaWindow window{"session", "Session", 10, std::nullopt};
        if (c.ahead)
            window.resetsAt = kNow + *c.ahead;
        EXPECT_EQ(window.timeRemaining(kNow), c.expected)
            << (c.ahead ? duration_cast<milliseconds>(*c.ahead).count() : -1) << " ms";
    }
}

TEST(QuotaModelTest, MostUsedAndWindowLookup)
{
    QuotaData data{{at("a", 50), at("b", 70), at("c", 70)}, std::nullopt, kNow};
    EXPECT_EQ(data.mostUsed()->id, "b");
    EXPECT_FALSE(QuotaData{}.mostUsed());
    EXPECT_EQ((QuotaData{{at("only", -5)}, std::nullopt, kNow}.mostUsed()->id), "only");
    // Nothing compares greater than NaN, so a leading NaN holds; the views clamp what they draw.
    EXPECT_EQ((QuotaData{{at("nan", std::nan("")), at("real", 3)}, std::nullopt, kNow}.mostUsed()->id),
              "nan");

    QuotaData twice{
        {{"session", "first", 1, std::nullopt}, {"session", "second", 2, std::nullopt}}, std::nullopt, kNow};
    EXPECT_EQ(twice.window("session")->displayName, "first");
    EXPECT_FALSE(twice.window("Session"));
    EXPECT_FALSE(QuotaData{}.window("session"));
}

TEST(QuotaModelTest, EqualityFollowsOrderAndPayloads)
{
    const QuotaData forward{{at("a", 1), at("b", 2)}, "Max", kNow};
    const QuotaData backward{{at("b", 2), at("a", 1)}, "Max", kNow};
    EXPECT_NE(forward, backward);
    EXPECT_NE(forward, (QuotaData{{at("a", 1), at("b", 2)}, std::nullopt, kNow}));
    EXPECT_EQ(at("x", 120).usagePercent, 120) << "stored as delivered";

    EXPECT_EQ(UsageError::rateLimited(std::nullopt), UsageError::rateLimited(std::nullopt));
    EXPECT_NE(UsageError::rateLimited(std::nullopt), UsageError::rateLimited(30.0));
    EXPECT_EQ(UsageError::rateLimited(30.0), UsageError::rateLimited(30.0));
    EXPECT_NE(UsageError::http(401), UsageError::http(403));
    EXPECT_EQ(UsageError::http(500), UsageError::http(500));
    EXPECT_EQ(UsageError::transport(), UsageError::transport());
    EXPECT_NE(UsageError::notAuthenticated(), UsageError::missingProfileScope());
    EXPECT_NE(UsageError::http(0), UsageError::transport());
}
