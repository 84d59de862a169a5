#include "Usage/ClaudeUsageResponse.h"
#include "Usage/UsageText.h"

#include <gtest/gtest.h>

namespace velquist::test {
namespace {

using namespace std::chrono_literals;

struct Expected
{
    std::string id;
    std::string name;
    double percent;
    bool operator==(const Expected&) const = default;
};

std::vector<Expected> windowsOf(const std::string& body)
{
    const auto response = ClaudeUsageResponse::decode(body);
    EXPECT_TRUE(response) << body;
    if (!response)
        return {};
    auto windows = response->windowsFromLimits();
    if (windows.empty())
        windows = response->windowsFromLegacyFields();
    std::vector<Expected> result;
    for (const auto& window : windows)
        result.push_back({window.id, window.displayName, window.usagePercent});
    return result;
}

TEST(ClaudeUsageResponse, TurnsEitherGenerationOfReplyIntoWindows)
{
    const std::pair<std::string, std::vector<Expected>> cases[] = {
        {R"({"limits":[{"kind":"session","percent":12.5}],"five_hour":{"utilization":40}})",
         {{"session", "Session (5h)", 12.5}}},
        {R"({"limits":[],"five_hour":{"utilization":40},"seven_day":{"utilization":7}})",
         {{"session", "Session (5h)", 40}, {"weekly", "Weekly", 7}}},
        {R"({"limits":[{"percent":5}],"seven_day":{"utilization":7}})", {{"weekly", "Weekly", 7}}},
        {R"({"limits":[{"kind":"weekly_all","percent":3},{"kind":"weekly_scoped","percent":9,
             "scope":{"model":{"id":"a2","display_name":"Alpha Two"}}}]})",
         {{"weekly", "Weekly", 3}, {"weekly-alpha-two", "Alpha Two Weekly", 9}}},
        // Two scoped limits without a model still get ids of their own.
        {R"({"limits":[{"kind":"weekly_scoped","percent":1},{"kind":"weekly_scoped","percent":2},
             {"kind":"weekly_scoped","scope":{"model":null}}]})",
         {{"weekly-model", "Model Weekly", 1},
          {"weekly-model-2", "Model Weekly", 2},
          {"weekly-model-3", "Model Weekly", 0}}},
        {R"({"limits":[{"kind":"weekly_extra_usage","percent":null},{"kind":"Session","percent":130}]})",
         {{"weekly_extra_usage", "Weekly Extra Usage", 0}, {"Session", "Session", 130}}},
        {R"({"fiveHour":{"utilization":1}})", {{"session", "Session (5h)", 1}}},
        {R"({})", {}},
    };
    for (const auto& [body, expected] : cases)
        EXPECT_EQ(windowsOf(body), expected) << body;
}

TEST(ClaudeUsageResponse, AFieldOfTheWrongTypeFailsTheWholeReply)
{
    for (const char* body :
         {R"({"five_hour":{"utilization":"40"}})", R"({"five_hour":{"resets_at":"tomorrow"}})",
          R"({"five_hour":{"resets_at":"2026-01-01T05:00:00"}})", R"({"limits":{"kind":"session"}})",
          R"({"limits":[{"kind":5}]})", R"({"limits":[{"scope":{"model":{"display_name":3}}}]})", "[]", "",
          "garbage", R"({"limits":[)"}) {
        EXPECT_FALSE(ClaudeUsageResponse::decode(body)) << body;
    }
}

TEST(ClaudeUsageResponse, DatesNeedTheirZone)
{
    const auto date = [](const char* text) { return ClaudeUsageResponse::parseDate(text); };
    const Clock::WallTime newYear(std::chrono::seconds(1767225600)); // 2026-01-01T00:00:00Z
    EXPECT_EQ(date("2026-01-01T00:00:00Z"), newYear);
    EXPECT_EQ(date("2026-01-01T02:00:00+02:00"), newYear);
    EXPECT_EQ(date("2026-01-01T00:00:00.250Z"), newYear + 250ms);
    EXPECT_FALSE(date("2026-01-01T00:00:00"));
    EXPECT_FALSE(date("2026-01-01"));
    EXPECT_FALSE(date("soon"));
}

TEST(UsageText, CapitalizesWordsAndConvertsSnakeCaseKeys)
{
    EXPECT_EQ(UsageText::capitalizedWords("max"), "Max");
    EXPECT_EQ(UsageText::capitalizedWords("PLUS team"), "Plus Team");
    for (const auto& [key, camel] :
         std::initializer_list<std::pair<const char*, const char*>>{{"five_hour", "fiveHour"},
                                                                    {"resets_at", "resetsAt"},
                                                                    {"fiveHour", "fiveHour"},
                                                                    {"_private_key_", "_privateKey_"},
                                                                    {"display_NAME", "displayName"},
                                                                    {"a__b", "aB"}}) {
        EXPECT_EQ(UsageText::camelCaseKey(key), camel) << key;
    }
}

} // namespace
} // namespace velquist::test
