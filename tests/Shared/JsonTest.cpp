#include "Shared/Json.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(JsonTest, ParseRefusesMalformedDeepAndInvalidUtf8Input)
{
    const std::string deep(100000, '[');
    struct Case
    {
        std::string text;
        bool parses;
    };
    const Case cases[] = {
        {R"({"a":[1,2,{"b":"c"}]})", true},
        {"", false},
        {"{", false},
        {"not json", false},
        {deep + std::string(100000, ']'), false},
        {std::string(256, '[') + std::string(256, ']'), true},
        {std::string(257, '[') + std::string(257, ']'), false},
        {"\"a\xff\"", false},
        {R"({"k":"[[[[[[ in a string is not nesting"})", true},
        {R"({"k":"escaped \" quote [[["})", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Json::parse(c.text).has_value(), c.parses) << c.text.substr(0, 40);
}

TEST(JsonTest, DumpReplacesInvalidUtf8InsteadOfThrowing)
{
    nlohmann::json value = {{"text", std::string("bad \xc3 byte")}};
    std::string out;
    EXPECT_NO_THROW(out = Json::dump(value));
    EXPECT_NE(out.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(JsonTest, OrderedParseKeepsKeyOrder)
{
    auto value = Json::parseOrdered(R"({"z":1,"a":2,"m":3})");
    ASSERT_TRUE(value);
    EXPECT_EQ(Json::dump(*value), R"({"z":1,"a":2,"m":3})");
}

TEST(JsonTest, TypedLookupsAnswerNoneForWrongTypes)
{
    const auto object = nlohmann::json::parse(R"({"s":"x","n":3,"f":2.5,"b":true,"camelKey":"c"})");
    EXPECT_EQ(Json::string(object, "s"), "x");
    EXPECT_FALSE(Json::string(object, "n"));
    EXPECT_EQ(Json::integer(object, "n"), 3);
    EXPECT_EQ(Json::integer(object, "f"), 2);
    EXPECT_FALSE(Json::integer(object, "s"));
    EXPECT_EQ(Json::boolean(object, "b"), true);
    EXPECT_FALSE(Json::boolean(object, "n"));
    EXPECT_EQ(Json::firstString(object, {"camel_key", "camelKey"}), "c");
    EXPECT_FALSE(Json::string(nlohmann::json::array(), "s"));
}
