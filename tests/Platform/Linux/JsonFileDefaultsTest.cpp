#include "Platform/Linux/JsonFileDefaults.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryHome.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;

TEST(JsonFileDefaultsTest, ValuesKeepTheirTypeAcrossSaveAndReload)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "Velquist" / "defaults.json";
    {
        JsonFileDefaults defaults(file);
        defaults.setValue("opensOnAttention", false);
        defaults.setValue("displayMode", "lastClicked");
        defaults.setValue("volume", 0.5);
        defaults.setValue("count", 3);
        defaults.setValue("soundSettings", nlohmann::json{{"isEnabled", true}});
        defaults.setValue("asText", "true");
    }
    struct stat info
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    JsonFileDefaults reloaded(file);
    EXPECT_EQ(reloaded.boolValue("opensOnAttention"), false);
    EXPECT_EQ(reloaded.stringValue("displayMode"), "lastClicked");
    EXPECT_EQ(reloaded.numberValue("volume"), 0.5);
    EXPECT_TRUE(reloaded.value("count")->is_number_integer());
    EXPECT_EQ((*reloaded.value("soundSettings"))["isEnabled"], true);
    EXPECT_FALSE(reloaded.boolValue("asText")) << "a text is not a Bool";
    EXPECT_EQ(reloaded.stringValue("asText"), "true");
}

TEST(JsonFileDefaultsTest, ObserversHearOnlyRealChanges)
{
    test::MemoryDefaults defaults;
    std::vector<std::string> heard;
    const int token = defaults.addObserver([&](const std::string& key) { heard.push_back(key); });
    defaults.setValue("a", true);
    defaults.setValue("a", true); // same value
    defaults.setValue("a", 1);    // same truthiness, other type: a change
    defaults.setValue("b", "x");
    defaults.remove("missing");
    defaults.remove("b");
    defaults.removeObserver(token);
    defaults.setValue("c", 1);
    EXPECT_EQ(heard, (std::vector<std::string>{"a", "a", "b", "b"}));
    EXPECT_EQ(defaults.saveCount(), 5);
}

TEST(JsonFileDefaultsTest, AnUnparsableFileIsMovedAsideNotOverwritten)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "defaults.json";
    std::ofstream(file) << "{ not json";
    JsonFileDefaults defaults(file);
    EXPECT_FALSE(defaults.value("anything"));
    defaults.setValue("k", 1);
    std::ifstream aside(folder.path() / "defaults.json.corrupt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), "{ not json");
}

TEST(JsonFileDefaultsTest, RemovingTheDomainDeletesTheFileAndSavesNothingAfter)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "Velquist" / "defaults.json";
    JsonFileDefaults defaults(file);
    defaults.setValue("opensOnAttention", false);
    defaults.setValue("IntroMoviePlayed", true);
    std::vector<std::string> heard;
    defaults.addObserver([&](const std::string& key) { heard.push_back(key); });
    ASSERT_TRUE(fs::exists(file));

    defaults.removePersistentDomain();

    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file.parent_path()));
    EXPECT_EQ(defaults.snapshot(), nlohmann::json::object());
    EXPECT_EQ(heard, (std::vector<std::string>{"IntroMoviePlayed", "opensOnAttention"}));

    // A late writer (a background probe caching its answer) must not bring the file back.
    defaults.setValue("claudeHookSupport.2.1.0.SubagentStart", true);
    EXPECT_FALSE(fs::exists(file));
}
