#include "Shared/JsonRewrite.h"

#include <gtest/gtest.h>

using namespace velquist;
using ordered_json = nlohmann::ordered_json;

namespace {

// Parses the way the application does, so numbers past a double read as the application reads them.
ordered_json parse(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return ordered_json::parse(text);
}

using Edit = void (*)(ordered_json&);

void addHooks(ordered_json& settings)
{
    settings["hooks"]["Stop"] = ordered_json::array({ordered_json{{"command", "x"}, {"timeout", 10}}});
}

void dropHooks(ordered_json& settings)
{
    settings.erase("hooks");
}

void addStartBesideStop(ordered_json& settings)
{
    settings["hooks"]["Start"] = ordered_json::array();
}

} // namespace

TEST(JsonRewriteTest, KeepsWhatTheEditLeftAloneAndTheFilesLayout)
{
    struct Case
    {
        const char* name;
        std::string before;
        Edit edit;
        std::string expected;
    };
    const Case cases[] = {
        {"compact stays compact", R"({"a":1,"b":[1,2]})", addHooks,
         R"({"a":1,"b":[1,2],"hooks":{"Stop":[{"command":"x","timeout":10}]}})"},
        {"compact with spaces keeps its separators", R"({"a": 1, "b": 2})", dropHooks, R"({"a": 1, "b": 2})"},
        {"long numbers keep their digits", R"({"big":123456789012345678901234567890,"f":1.50})", addHooks,
         R"({"big":123456789012345678901234567890,"f":1.50,"hooks":{"Stop":[{"command":"x","timeout":10}]}})"},
        {"four spaces", "{\n    \"a\": 1\n}\n", addHooks,
         "{\n    \"a\": 1,\n    \"hooks\": {\n        \"Stop\": [\n            {\n                "
         "\"command\": "
         "\"x\",\n                \"timeout\": 10\n            }\n        ]\n    }\n}\n"},
        {"tabs", "{\n\t\"a\": 1\n}", dropHooks, "{\n\t\"a\": 1\n}"},
        {"byte order mark and CR LF", "\xEF\xBB\xBF{\r\n  \"a\": 1\r\n}\r\n", addHooks,
         "\xEF\xBB\xBF{\r\n  \"a\": 1,\r\n  \"hooks\": {\r\n    \"Stop\": [\r\n      {\r\n        "
         "\"command\": "
         "\"x\",\r\n        \"timeout\": 10\r\n      }\r\n    ]\r\n  }\r\n}\r\n"},
        {"removed member", "{\n  \"a\": 1,\n  \"hooks\": {}\n}\n", dropHooks, "{\n  \"a\": 1\n}\n"},
        {"untouched sibling inside an edited object keeps its bytes",
         "{\"hooks\":{\"Stop\":[{\"n\":1.50,\"s\":\"\\u00e9\"}]}}", addStartBesideStop,
         "{\"hooks\":{\"Stop\":[{\"n\":1.50,\"s\":\"\\u00e9\"}],\"Start\":[]}}"},
        {"empty object becomes indented", "{}\n", addHooks,
         "{\n  \"hooks\": {\n    \"Stop\": [\n      {\n        \"command\": \"x\",\n        \"timeout\": "
         "10\n      }\n    ]\n  }\n}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ordered_json before = parse(c.before);
        ordered_json after = before;
        c.edit(after);
        const std::string text = JsonRewrite::rewrite(c.before, before, after);
        EXPECT_EQ(text, c.expected);
        EXPECT_EQ(parse(text), after);
    }
}

TEST(JsonRewriteTest, AnEditUndoneGivesBackTheSameBytes)
{
    const std::string texts[] = {
        R"({"a":1,"big":123456789012345678901234567890})",
        "\xEF\xBB\xBF{\r\n    \"a\": [1, 2],\r\n    \"b\": {\"c\": 1e400}\r\n}\r\n",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        ordered_json before;
        std::string_view body = text;
        if (body.starts_with("\xEF\xBB\xBF"))
            body.remove_prefix(3);
        // 1e400 cannot be held by a double; the scanner still takes it, the parser gives it up.
        before = ordered_json::parse(body, nullptr, false);
        if (before.is_discarded())
            continue;
        ordered_json edited = before;
        addHooks(edited);
        const std::string installed = JsonRewrite::rewrite(text, before, edited);
        const std::string restored = JsonRewrite::rewrite(installed, edited, before);
        EXPECT_EQ(restored, text);
    }
}

TEST(JsonRewriteTest, DuplicateKeysFallBackToAWholeRewrite)
{
    const std::string text = "{\"a\":1,\"a\":2}\n";
    const ordered_json before = parse(text);
    ordered_json after = before;
    addHooks(after);
    EXPECT_EQ(parse(JsonRewrite::rewrite(text, before, after)), after);
}
