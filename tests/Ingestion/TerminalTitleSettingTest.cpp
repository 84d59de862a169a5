#include "Ingestion/TerminalTitleSetting.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;
using OrderedJson = nlohmann::ordered_json;

TEST(TerminalTitleSettingTest, TruthyValues)
{
    struct Case
    {
        const char* json;
        bool truthy;
    };
    const Case cases[] = {
        {"true", true},     {"false", false},    {"2", true},      {"0", false},      {"-1", true},
        {R"("Yes")", true}, {R"("TRUE")", true}, {R"("1")", true}, {R"("0")", false}, {R"("off")", false},
        {R"("")", false},   {"1.0", false},      {"null", false},  {"[1]", false},    {R"({"a":1})", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TerminalTitleSetting::isTruthy(OrderedJson::parse(c.json)), c.truthy) << c.json;
}

TEST(TerminalTitleSettingTest, IsDisabledReadsOnlyTheEnvFlag)
{
    test::TemporaryHome home;
    struct Case
    {
        const char* content; // nullptr: no file
        bool disabled;
    };
    const Case cases[] = {
        {nullptr, false},
        {"not json", false},
        {"[]", false},
        {R"({"CLAUDE_CODE_DISABLE_TERMINAL_TITLE":"1"})", false},
        {R"({"env":"CLAUDE_CODE_DISABLE_TERMINAL_TITLE=1"})", false},
        {R"({"env":{"CLAUDE_CODE_DISABLE_TERMINAL_TITLE":"Yes"}})", true},
        {R"({"env":{"CLAUDE_CODE_DISABLE_TERMINAL_TITLE":false}})", false},
    };
    const fs::path file = home.path() / ".claude/settings.json";
    for (const Case& c : cases) {
        fs::remove(file);
        if (c.content)
            home.write(".claude/settings.json", c.content);
        EXPECT_EQ(TerminalTitleSetting::isDisabled(file), c.disabled) << (c.content ? c.content : "missing");
    }
}

TEST(TerminalTitleSettingTest, EnableTitlesRemovesFlagKeepingTheRest)
{
    test::TemporaryHome home;
    struct Case
    {
        const char* name;
        const char* content;
        bool changed;
        const char* expected; // the file afterwards, as JSON; nullptr: byte for byte unchanged
    };
    const Case cases[] = {
        {"only key", R"({"model":"opus","env":{"CLAUDE_CODE_DISABLE_TERMINAL_TITLE":"1"},"z":2})", true,
         R"({"model":"opus","z":2})"},
        {"other variables stay in order",
         R"({"env":{"B":"x","CLAUDE_CODE_DISABLE_TERMINAL_TITLE":true,"A":"y"}})", true,
         R"({"env":{"B":"x","A":"y"}})"},
        {"value not truthy is still removed", R"({"env":{"CLAUDE_CODE_DISABLE_TERMINAL_TITLE":"off","K":1}})",
         true, R"({"env":{"K":1}})"},
        {"no key", R"({"env":{"OTHER":"1"}} )", false, nullptr},
        {"env not an object", R"({"env":"CLAUDE_CODE_DISABLE_TERMINAL_TITLE"})", false, nullptr},
        {"not an object", "[1]", false, nullptr},
    };
    const fs::path file = home.path() / ".claude/settings.json";
    const fs::path backup = home.path() / ".claude/settings.json.velquist.bak";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(backup);
        home.write(".claude/settings.json", c.content);
        fs::permissions(file, fs::perms(0600));
        const ConfigChange result = TerminalTitleSetting::enableTitles(file);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.changed, c.changed);
        const std::string after = home.read(".claude/settings.json");
        if (!c.expected) {
            EXPECT_EQ(after, c.content);
            EXPECT_FALSE(fs::exists(backup));
            continue;
        }
        const OrderedJson settings = OrderedJson::parse(after);
        EXPECT_EQ(settings.dump(), OrderedJson::parse(c.expected).dump()) << "key order must survive";
        EXPECT_EQ(home.read(".claude/settings.json.velquist.bak"), c.content);
        struct stat info
        {
        };
        ::stat(backup.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        EXPECT_FALSE(TerminalTitleSetting::isDisabled(file));
    }
}

TEST(TerminalTitleSettingTest, EnableTitlesOnMissingOrBrokenFile)
{
    test::TemporaryHome home;
    const fs::path file = home.path() / ".claude/settings.json";
    EXPECT_TRUE(TerminalTitleSetting::enableTitles(file).ok());
    EXPECT_FALSE(fs::exists(file));

    home.write(".claude/settings.json", "{oops");
    const ConfigChange result = TerminalTitleSetting::enableTitles(file);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(home.read(".claude/settings.json"), "{oops");
}
