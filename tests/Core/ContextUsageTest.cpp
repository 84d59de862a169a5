#include "Core/ContextUsage.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::json;

TEST(ContextUsageTest, PercentLabel)
{
    struct Case
    {
        std::int64_t tokens;
        std::int64_t limit;
        std::string label;
    } cases[] = {{5000, 0, "0%"}, {150000, 200000, "75%"}, {250000, 200000, "100%"}, {1, 200, "1%"},
                 {1, 400, "0%"},  {5, 1000, "1%"},         {-50, 100, "-50%"},       {0, -1, "0%"}};
    for (const auto& c : cases) {
        EXPECT_EQ((ContextUsage{c.tokens, c.limit, {}}.percentLabel()), c.label)
            << c.tokens << "/" << c.limit;
    }
}

TEST(ContextUsageTest, CompactCounts)
{
    struct Case
    {
        std::int64_t tokens;
        std::string text;
    } cases[] = {{999, "999"},      {-5000, "-5000"}, {1000, "1k"},      {1499, "1k"},
                 {1500, "2k"},      {999499, "999k"}, {999500, "1000k"}, {1000000, "1M"},
                 {1500000, "1.5M"}, {2000000, "2M"},  {1250000, "1.2M"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ContextUsage::compact(c.tokens), c.text) << c.tokens;
    }
}

TEST(ContextUsageTest, StoredForm)
{
    const ContextUsage bare{1200, 200000, {}};
    EXPECT_EQ(bare.toJson().dump(), R"({"tokens":1200,"limit":200000})");
    const ContextUsage named{5, 10, "opus"};
    EXPECT_EQ(named.toJson().dump(), R"({"tokens":5,"limit":10,"model":"opus"})");
    for (const auto& usage : {bare, named}) {
        const auto back = ContextUsage::fromJson(json::parse(usage.toJson().dump()));
        ASSERT_TRUE(back.ok());
        EXPECT_EQ(*back, usage);
    }
    EXPECT_EQ(*ContextUsage::fromJson(json::parse(R"({"tokens":1,"limit":2,"model":null,"x":true})")),
              (ContextUsage{1, 2, {}}));
    for (const char* bad : {R"({"limit":2})", R"({"tokens":"1","limit":2})",
                            R"({"tokens":1,"limit":2,"model":3})", R"({"tokens":1.5,"limit":2})", "[]"}) {
        EXPECT_FALSE(ContextUsage::fromJson(json::parse(bad)).ok()) << bad;
    }
}
