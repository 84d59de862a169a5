#include "Ingestion/TranscriptFields.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(TranscriptFieldsTest, TrimsAsciiAndUnicodeBlanksOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"  a b \r\n", "a b"},
        {"\xC2\xA0\xE2\x80\x83x\xE3\x80\x80\xE2\x80\xA8", "x"}, // NBSP, em space, ideographic space, LS
        {"\xC3\xA9", "\xC3\xA9"},                               // é is a letter, at both ends
        {"\xE2\x80\x8B", "\xE2\x80\x8B"},                       // zero-width space is not white space
        {"x\xA0", "x\xA0"},                                     // a stray continuation byte is kept
        {" \t\xC2\x85 ", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TranscriptFields::trimmed(text), expected) << text;
}

TEST(TranscriptFieldsTest, IntegersAreIntegralNumbersThatFit)
{
    // "past" is wider than 64 bits, so the whole line takes the ordinary parser's road.
    for (
        const char* line :
        {R"({"int":-5,"big":18446744073709551615,"whole":2.0e3,"fraction":1.5,"flag":true,"text":"7","huge":1e300})",
         R"({"int":-5,"big":18446744073709551615,"whole":2.0e3,"fraction":1.5,"flag":true,"text":"7","huge":1e300,"past":123456789012345678901234567890})"}) {
        const auto object = TranscriptFields::object(line);
        ASSERT_TRUE(object) << line;
        EXPECT_EQ(TranscriptFields::integer(*object, "int"), -5);
        EXPECT_EQ(TranscriptFields::integer(*object, "whole"), 2000);
        for (const char* key : {"big", "fraction", "flag", "text", "huge", "past", "missing"})
            EXPECT_EQ(TranscriptFields::integer(*object, key), std::nullopt) << key;
    }
}
