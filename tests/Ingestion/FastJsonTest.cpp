#include "Ingestion/FastJson.h"

#include <gtest/gtest.h>

using namespace velquist;

// The fast path must answer exactly as the ordinary parser does.
TEST(FastJsonTest, AgreesWithTheOrdinaryParser)
{
    const std::string deep(100000, '[');
    const std::string cases[] = {
        R"({"type":"assistant","message":{"content":[{"type":"text","text":"hi \u00e9 \ud83d\ude00"}]}})",
        R"({"n":-12,"u":18446744073709551615,"f":1.5e3,"b":false,"z":null,"s":"a\/b\n"})",
        R"({"big":123456789012345678901234567890})",
        R"({"dup":1,"dup":2})",
        R"([1,2,3])",
        "  {\"padded\":true}  ",
        std::string(256, '[') + std::string(256, ']'),
        std::string(257, '[') + std::string(257, ']'),
        deep,
        "{\"bad\":\"\xff\"}",
        "{\"cut\":",
        "",
        "nul",
        "{} trailing",
    };
    for (const auto& text : cases) {
        const auto fast = FastJson::parse(text);
        const auto ordinary = Json::parse(text);
        ASSERT_EQ(fast.has_value(), ordinary.has_value()) << text.substr(0, 60);
        if (fast) {
            EXPECT_EQ(*fast, *ordinary) << text.substr(0, 60);
        }
    }
}
