#include "Core/ToolParameter.h"

#include <gtest/gtest.h>
#include <string>

using namespace velquist;
using nlohmann::json;

namespace {

std::vector<std::string> keysOf(const std::vector<ToolParameter>& rows)
{
    std::vector<std::string> keys;
    for (const auto& row : rows)
        keys.push_back(row.key);
    return keys;
}

} // namespace

TEST(ToolParameterTest, OrdersKeysNaturallyIgnoringCase)
{
    const auto rows =
        ToolParameter::flatten(json{{"item10", "x"}, {"item2", "x"}, {"Alpha", "x"}, {"beta", "x"}});
    EXPECT_EQ(keysOf(rows), (std::vector<std::string>{"Alpha", "beta", "item2", "item10"}));
    const auto zeros = ToolParameter::flatten(json{{"v010", 1}, {"v9", 1}, {"v0011", 1}});
    EXPECT_EQ(keysOf(zeros), (std::vector<std::string>{"v9", "v010", "v0011"}));
}

TEST(ToolParameterTest, ShowsEachKindOfValue)
{
    const json input = {{"a", nullptr},
                        {"b", ""},
                        {"c", true},
                        {"d", 3},
                        {"e", json::array({"x", "y"})},
                        {"f", -7},
                        {"g", 0.5},
                        {"h", "two\nlines\r\nhere"},
                        {"i", json{{"z", 1}, {"a", "/tmp"}}},
                        {"j", 2.0}};
    const auto rows = ToolParameter::flatten(input);
    const std::vector<ToolParameter> expected = {
        {"c", "true"},
        {"d", "3"},
        {"e", R"(["x","y"])"},
        {"f", "-7"},
        {"g", "0.5"},
        {"h", "two lines here"},
        {"i", R"({"a":"\/tmp","z":1})"},
        {"j", "2"},
    };
    EXPECT_EQ(rows, expected);
}

TEST(ToolParameterTest, CutsKeysValuesAndRows)
{
    const std::string longKey(25, 'k');
    const auto cut = ToolParameter::flatten(json{{longKey, std::string(250, 'v')}});
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].key, std::string(20, 'k') + "\u2026");
    EXPECT_EQ(cut[0].value, std::string(200, 'v') + "\u2026");

    std::string wide;
    for (int i = 0; i < 201; ++i)
        wide += "\u00FC";
    const auto multibyte = ToolParameter::flatten(json{{"w", wide}});
    EXPECT_EQ(multibyte[0].value, wide.substr(0, 400) + "\u2026");

    json eleven = json::object();
    for (int i = 0; i < 11; ++i)
        eleven["k" + std::to_string(i)] = "v";
    eleven["empty"] = "";
    const auto many = ToolParameter::flatten(eleven);
    ASSERT_EQ(many.size(), 9u);
    EXPECT_EQ(many[8], (ToolParameter{"", "\u2026 3 more"}));

    json eight = json::object();
    for (int i = 0; i < 8; ++i)
        eight["k" + std::to_string(i)] = i;
    EXPECT_EQ(ToolParameter::flatten(eight).size(), 8u);
    EXPECT_TRUE(ToolParameter::flatten(json::object()).empty());
    EXPECT_TRUE(ToolParameter::flatten(json("not an object")).empty());
}

TEST(ToolParameterTest, DeepAndHugeValuesAreCutWithoutWalkingThemWhole)
{
    // Deeper than any parser would accept: built by hand.
    json deep = json::array();
    for (int i = 0; i < 100000; ++i)
        deep = json::array({std::move(deep)});
    json huge = json::array();
    for (int i = 0; i < 200000; ++i)
        huge.push_back("item/" + std::to_string(i));
    const auto rows = ToolParameter::flatten(json{{"deep", std::move(deep)}, {"huge", std::move(huge)}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].value, std::string(200, '[') + "\u2026");
    EXPECT_TRUE(rows[1].value.starts_with(R"(["item\/0","item\/1",)"));
    EXPECT_TRUE(rows[1].value.ends_with("\u2026"));
}

TEST(ToolParameterTest, StoredFormRoundTripsAndRequiresBothKeys)
{
    const ToolParameter row{"path", "/tmp/x"};
    EXPECT_EQ(row.toJson().dump(), R"({"key":"path","value":"/tmp/x"})");
    const auto back = ToolParameter::fromJson(json::parse(row.toJson().dump()));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, row);
    EXPECT_FALSE(ToolParameter::fromJson(json{{"key", "k"}}).ok());
    EXPECT_FALSE(ToolParameter::fromJson(json{{"key", "k"}, {"value", 1}}).ok());
    EXPECT_FALSE(ToolParameter::fromJson(json::array()).ok());
}
