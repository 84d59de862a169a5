#include "Usage/CodexUsageProvider.h"

#include <gtest/gtest.h>

namespace velquist::test {
namespace {

TEST(CodexUsageReply, PicksTheLimitsOfTheReply)
{
    const std::pair<const char*, std::optional<double>> cases[] = {
        {R"({"id":2,"result":{"rateLimitsByLimitId":{"codex":{"primary":{"usedPercent":1}},"x":{"primary":{"usedPercent":2}}}}})",
         1},
        {R"({"id":2,"result":{"rateLimitsByLimitId":{"x":{"primary":{"usedPercent":2}}}}})", 2},
        {R"({"id":2,"result":{"rateLimits":{"primary":{"usedPercent":3}}}})", 3},
        {R"({"id":2,"result":{"rateLimits":{"primary":{"usedPercent":null}}}})", 0},
        {R"({"id":2,"result":{"rateLimitsByLimitId":{},"rateLimits":{"primary":{"usedPercent":3}}}})",
         std::nullopt},
        {R"({"id":2,"result":{}})", std::nullopt},
        {R"({"id":2,"error":{"code":1}})", std::nullopt},
        {R"({"id":2,"result":{"rateLimits":{"primary":{"usedPercent":"3"}}}})", std::nullopt},
        {R"({"id":2,"result":{"rateLimits":{"primary":{"resetsAt":1.5}}}})", std::nullopt},
    };
    for (const auto& [reply, percent] : cases) {
        const auto limits = CodexUsageProvider::limitsFromReply(nlohmann::json::parse(reply));
        if (!percent) {
            EXPECT_FALSE(limits) << reply;
            continue;
        }
        ASSERT_TRUE(limits && limits->primary) << reply;
        EXPECT_EQ(limits->primary->usedPercent.value_or(0), *percent) << reply;
    }
}

TEST(CodexUsageReply, QuotaHasTheSessionThenTheWeek)
{
    CodexUsageProvider::RateLimits limits;
    limits.secondary = CodexUsageProvider::RateLimits::Window{40, std::nullopt};
    limits.primary = CodexUsageProvider::RateLimits::Window{std::nullopt, 60};
    limits.planType = "PLUS";
    const auto data = CodexUsageProvider::quota(limits, Clock::WallTime{});
    ASSERT_EQ(data.windows.size(), 2u);
    EXPECT_EQ(data.windows[0],
              (QuotaWindow{"session", "Session", 0, Clock::WallTime(std::chrono::seconds(60))}));
    EXPECT_EQ(data.windows[1], (QuotaWindow{"weekly", "Weekly", 40, std::nullopt}));
    EXPECT_EQ(data.planName, "Plus");
}

} // namespace
} // namespace velquist::test
