#include "Shared/JsonScan.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(JsonScanTest, AcceptsWhatAStrictParserAcceptsAndNothingElse)
{
    const std::string deep256 = std::string(255, '[') + std::string(255, ']');
    const std::string deep257 = std::string(256, '[') + std::string(256, ']');
    const std::string infinity =
        "1797693134862315807937289714053034150799341327100378269361737789804449682927647509466490179775872070"
        "9633028641669288791094655554785194040263065748867150582068190890200070838367627385484581771153176447"
        "5730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904"
        "174497792";
    // Every case is also given to nlohmann: the scan must agree with it on whether the text is
    // one object, and on whether it may be relayed as it is.
    const std::string cases[] = {
        {R"({})"},
        {" \n{ } \t"},
        {R"({"a":1,"b":[true,false,null],"c":{"d":-0.5e+10,"e":"\u00e9\ud83d\ude00"}})"},
        {R"({"a":[],"b":{},"c":[[],[{}]]})"},
        {R"({"dup":1,"dup":2})"},
        {"{\"k\":" + deep256 + "}"},
        {"{\"k\":" + deep257 + "}"},
        {R"([1,2])"},
        {R"("text")"},
        {R"(42)"},
        {R"({"a":1,})"},
        {R"({"a":1 "b":2})"},
        {R"({"a" 1})"},
        {R"({a:1})"},
        {R"({"a":01})"},
        {R"({"a":1.})"},
        {R"({"a":-})"},
        {R"({"a":1e})"},
        {R"({"a":tru})"},
        {R"({"a":[1,]})"},
        {R"({"a":[1}])"},
        {R"({"a":"unterminated})"},
        {R"({"a":1}})"},
        {R"({"a":1} {"b":2})"},
        {"{\"a\":\"tab\there\"}"},
        {"{\"a\":\"\xC3\x28\"}"},
        {"{\"a\":\"\xE0\x80\xAF\"}"},     // overlong
        {"{\"a\":\"\xED\xA0\x80\"}"},     // encoded surrogate
        {"{\"a\":\"\xF4\x90\x80\x80\"}"}, // past U+10FFFF
        {R"({"a":"\ud800"})"},
        {R"({"a":"\udc00\ud800"})"},
        {R"({"a":"\ud800\u0041"})"},
        {R"({"a":"\x"})"},
        {R"({"a":"\u12g4"})"},
        {"\xEF\xBB\xBF{\"a\":1}"},
        // Numbers past the largest double are refused; those too small to tell from zero are not.
        {R"({"a":1e400})"},
        {R"({"a":[-1E+309]})"},
        {R"({"a":1.8e308})"},
        {R"({"a":1.7e308})"},
        {R"({"a":0.0001e311})"},
        {R"({"a":0.001e311})"},
        {R"({"a":1e-400,"b":-0.0e999})"},
        {"{\"a\":" + std::string(308, '9') + "}"},
        {"{\"a\":" + std::string(309, '9') + "}"},
        {"{\"a\":1" + std::string(400, '0') + ".5e-100}"},
        // Around the least number that rounds to infinity, 2^1024 - 2^970.
        {R"({"a":1.7976931348623158e308})"},
        {R"({"a":1.7976931348623159e308})"},
        {R"({"a":0.017976931348623157e310})"},
        {"{\"a\":" + infinity + "}"},
        {"{\"a\":" + infinity.substr(0, 308) + "1}"},
        {"{\"a\":" + infinity.substr(0, 1) + "." + infinity.substr(1) + "e308}"},
        {"{\"a\":" + infinity.substr(0, 1) + "." + infinity.substr(1, 307) + "1e308}"},
        {"{\"a\":" + infinity.substr(0, 1) + "." + infinity.substr(1, 200) + "e308}"},
        {"{\"a\":" + infinity + "0e-1}"},
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        const auto scan = JsonScan::scanObject(text);
        const auto strict = Json::parse(text);
        const bool isObject = strict && strict->is_object();
        // An object a strict parser refuses only for its strings still scans, marked unclean.
        if (isObject) {
            ASSERT_TRUE(scan.has_value());
            EXPECT_TRUE(scan->clean);
            EXPECT_EQ(Json::parse(scan->object), strict);
        } else if (scan) {
            EXPECT_FALSE(scan->clean);
        }
    }
}

TEST(JsonScanTest, FindsEverySpecialByteWhereverItFallsInALongString)
{
    // Long runs of plain text are classified in blocks, and the special bytes of a block are taken
    // from its mask one after another: a special byte at any offset must still be seen, alone or
    // right after another one (an escape or a character that ends past the block included), and
    // so must the string's own end.
    const std::string specials[] = {
        "\\\"", "\\n",     "\\\\",           "\x01",    "\xff", "\xc3\xa9",    "\xf0\x9f\x98\x80",
        "\"",   "\\u00e9", "\\ud83d\\ude00", "\\ud83d", "\\q",  "\xed\xa0\x80"};
    const std::string nothing;
    for (const std::string& first : specials) {
        for (const std::string* second : {&nothing, &specials[0], &specials[3], &specials[5], &specials[6]}) {
            for (std::size_t gap = 0; gap < (second->empty() ? 1u : 3u); ++gap) {
                for (std::size_t offset = 0; offset < 70; ++offset) {
                    const std::string text = R"({"a":")" + std::string(offset, 'x') + first +
                                             std::string(gap, 'z') + *second + std::string(offset % 19, 'y') +
                                             R"("})";
                    SCOPED_TRACE(text);
                    const auto scan = JsonScan::scanObject(text);
                    const auto strict = Json::parse(text);
                    ASSERT_EQ(scan.has_value() && scan->clean, strict.has_value());
                    if (strict) {
                        ASSERT_EQ(scan->members.size(), 1u);
                        EXPECT_EQ(Json::parse(scan->members[0].value), (*strict)["a"]);
                    }
                }
            }
        }
    }
}

TEST(JsonScanTest, LocatesTopLevelMembersAndFlagsTheUncleanOnes)
{
    const std::string text =
        "\xEF\xBB\xBF {\"hook_event_name\" : \"Stop\", \"nested\":{\"hook_event_name\":\"x\"},"
        "\"bad\":\"\xff\", \"list\":[1,{\"a\":[]}] ,\"n\":-1.5e3}\n";
    const auto scan = JsonScan::scanObject(text);
    ASSERT_TRUE(scan);
    EXPECT_FALSE(scan->clean);
    EXPECT_EQ(scan->object.front(), '{');
    EXPECT_EQ(scan->object.back(), '}');
    ASSERT_EQ(scan->members.size(), 5u);
    const std::pair<std::string, std::string> expected[] = {
        {R"("hook_event_name")", R"("Stop")"},
        {R"("nested")", R"({"hook_event_name":"x"})"},
        {R"("bad")", "\"\xff\""},
        {R"("list")", R"([1,{"a":[]}])"},
        {R"("n")", "-1.5e3"},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(scan->members[i].key, expected[i].first);
        EXPECT_EQ(scan->members[i].value, expected[i].second);
        EXPECT_EQ(scan->members[i].clean, i != 2);
    }
    // The last of duplicate keys wins, as in a strict parser; escaped keys are read as keys.
    const auto duplicates = JsonScan::scanObject(R"({"k":1,"\u006b":2,"x":3})");
    ASSERT_TRUE(duplicates);
    ASSERT_NE(duplicates->find("k"), nullptr);
    EXPECT_EQ(duplicates->find("k")->value, "2");
    EXPECT_EQ(duplicates->find("missing"), nullptr);
}

TEST(JsonScanTest, HostileNestingIsRefusedWithoutRecursion)
{
    const std::string deep = "{\"a\":" + std::string(1000000, '[') + std::string(1000000, ']') + "}";
    EXPECT_FALSE(JsonScan::scanObject(deep));
    EXPECT_FALSE(JsonScan::scanObject("{\"a\":" + std::string(1000000, '[')));
}

TEST(JsonScanTest, StringValuesAndUtf8)
{
    EXPECT_EQ(JsonScan::stringValue(R"("PermissionRequest")"), "PermissionRequest");
    EXPECT_EQ(JsonScan::stringValue(R"("a\"b\u00e9")"), "a\"b\xC3\xA9");
    EXPECT_FALSE(JsonScan::stringValue("7"));
    EXPECT_FALSE(JsonScan::stringValue("\"\xff\""));
    EXPECT_FALSE(JsonScan::stringValue(R"("\ud800")"));
    EXPECT_FALSE(JsonScan::stringValue("\""));

    EXPECT_TRUE(JsonScan::isUtf8(""));
    EXPECT_TRUE(JsonScan::isUtf8("/home/a b/\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_FALSE(JsonScan::isUtf8("\xC3"));
    EXPECT_FALSE(JsonScan::isUtf8("\xC0\xAF"));
    EXPECT_FALSE(JsonScan::isUtf8("\xED\xB0\x80"));
}
