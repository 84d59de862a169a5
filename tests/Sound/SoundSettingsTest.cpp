#include "Sound/SoundSettings.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryHome.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

class SoundSettingsTest : public ::testing::Test
{
  protected:
    SoundSettingsTest()
    {
        for (const char* file : {"bell.oga", "complete.oga", "Loud.OGA", "notes.txt"})
            std::ofstream(theme.path() / file) << "x";
    }
    std::unique_ptr<SoundSettings> load(nlohmann::json stored)
    {
        defaults.setValue(SoundSettings::key, std::move(stored));
        return std::make_unique<SoundSettings>(defaults, clock, theme.path());
    }

    test::TemporaryFolder theme;
    test::ManualScheduler clock;
    test::MemoryDefaults defaults;
};

const nlohmann::json valid = {
    {"isEnabled", false},
    {"volume", 0.25},
    {"choices", {{"done", {{"system", {{"_0", "bell"}}}}}, {"start", {{"builtIn", {{"_0", "tap"}}}}}}},
    {"quietHoursEnabled", true},
    {"quietStartMinutes", 540},
    {"quietEndMinutes", 1020},
};

TEST_F(SoundSettingsTest, NothingStoredGivesTheDefaults)
{
    SoundSettings settings(defaults, clock, theme.path());
    EXPECT_TRUE(settings.isEnabled());
    EXPECT_DOUBLE_EQ(settings.volume(), 0.7);
    EXPECT_FALSE(settings.quietHoursEnabled());
    EXPECT_EQ(settings.quietStartMinutes(), 1380);
    EXPECT_EQ(settings.quietEndMinutes(), 480);
    EXPECT_EQ(settings.choice(SoundEvent::permission), SoundChoice::builtIn("ask"));
    EXPECT_EQ(settings.choice(SoundEvent::question), SoundChoice::builtIn("ask"));
    EXPECT_EQ(settings.choice(SoundEvent::done), SoundChoice::builtIn("done"));
    EXPECT_EQ(settings.choice(SoundEvent::start), SoundChoice::off());
    EXPECT_EQ(defaults.value(SoundSettings::key), std::nullopt); // nothing written at creation
}

TEST_F(SoundSettingsTest, AStoredValueLoadsAndSavesInTheSameShape)
{
    const auto settings = load(valid);
    EXPECT_FALSE(settings->isEnabled());
    EXPECT_DOUBLE_EQ(settings->volume(), 0.25);
    EXPECT_EQ(settings->choice(SoundEvent::done), SoundChoice::system("bell"));
    EXPECT_EQ(settings->choice(SoundEvent::start), SoundChoice::builtIn("tap"));
    EXPECT_EQ(settings->quietStartMinutes(), 540);
    settings->setEnabled(false);
    EXPECT_EQ(defaults.value(SoundSettings::key), valid);
}

TEST_F(SoundSettingsTest, OneBadKeyResetsOnlyThatKey)
{
    struct Case
    {
        const char* key;
        nlohmann::json bad; // null removes the key
    };
    const Case cases[] = {
        {"isEnabled", "yes"},        {"volume", "loud"},           {"quietHoursEnabled", 1},
        {"quietStartMinutes", 12.5}, {"quietEndMinutes", nullptr}, {"quietEndMinutes", 1440},
        {"quietStartMinutes", -1},   {"choices", "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.bad.dump());
        nlohmann::json stored = valid;
        if (c.bad.is_null())
            stored.erase(c.key);
        else
            stored[c.key] = c.bad;
        const auto settings = load(stored);
        test::MemoryDefaults empty;
        const SoundSettings fresh(empty, clock, theme.path());
        auto expect = [&](const char* key, auto loaded, auto fallback, auto stored) {
            EXPECT_EQ(loaded, std::string(key) == c.key ? fallback : stored) << key;
        };
        expect("isEnabled", settings->isEnabled(), fresh.isEnabled(), false);
        expect("volume", settings->volume(), fresh.volume(), 0.25);
        expect("quietHoursEnabled", settings->quietHoursEnabled(), fresh.quietHoursEnabled(), true);
        expect("quietStartMinutes", settings->quietStartMinutes(), fresh.quietStartMinutes(), 540);
        expect("quietEndMinutes", settings->quietEndMinutes(), fresh.quietEndMinutes(), 1020);
        expect("choices", settings->choices().size(), std::size_t{0}, std::size_t{2});
    }
}

TEST_F(SoundSettingsTest, OnlyCatalogNamesAreTakenFromStoredChoices)
{
    struct Case
    {
        nlohmann::json choice;
        bool kept;
    };
    const Case cases[] = {
        {{{"builtIn", {{"_0", "ask"}}}}, true},
        {{{"builtIn", {{"_0", "welcome"}}}}, false}, // exists, but is not offered
        {{{"builtIn", {{"_0", "../../etc/passwd"}}}}, false},
        {{{"system", {{"_0", "complete"}}}}, true},
        {{{"system", {{"_0", "Loud"}}}}, false}, // ".OGA" is not listed
        {{{"system", {{"_0", "/usr/share/sounds/freedesktop/stereo/bell"}}}}, false},
        {{{"system", {{"_0", "missing"}}}}, false},
        {{{"off", nlohmann::json::object()}}, true},
        {{{"off", nlohmann::json::object()}, {"builtIn", {{"_0", "ask"}}}}, false},
        {nlohmann::json::object(), false},
        {{{"loud", {{"_0", "ask"}}}}, false},
        {{{"builtIn", {{"_0", 3}}}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice.dump());
        nlohmann::json stored = valid;
        stored["choices"] = {
            {"permission", c.choice}, {"done", {{"system", {{"_0", "bell"}}}}}, {"later", c.choice}};
        const auto settings = load(stored);
        EXPECT_EQ(settings->choices().contains(SoundEvent::permission), c.kept);
        EXPECT_EQ(settings->choice(SoundEvent::done), SoundChoice::system("bell"));
        EXPECT_EQ(settings->choices().size(), c.kept ? 2u : 1u); // "later" is no event
    }
}

TEST_F(SoundSettingsTest, QuietHours)
{
    struct Case
    {
        int start;
        int end;
        int now;
        bool quiet;
    };
    const Case cases[] = {
        {1380, 480, 1380, true}, {1380, 480, 479, true},  {1380, 480, 480, false},  {1380, 480, 1379, false},
        {540, 1020, 540, true},  {540, 1020, 1019, true}, {540, 1020, 1020, false}, {540, 1020, 539, false},
        {600, 600, 600, false},  {600, 600, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SoundSettings::isQuietAt(c.now, c.start, c.end), c.quiet)
            << c.start << "-" << c.end << "@" << c.now;
}

TEST_F(SoundSettingsTest, QuietNowFollowsTheLocalClockAndTheSwitch)
{
    SoundSettings settings(defaults, clock, theme.path());
    const std::time_t now = std::chrono::system_clock::to_time_t(clock.now());
    std::tm local{};
    ::localtime_r(&now, &local);
    const int minutes = local.tm_hour * 60 + local.tm_min;
    settings.setQuietStartMinutes(minutes);
    settings.setQuietEndMinutes((minutes + 1) % 1440);
    EXPECT_FALSE(settings.isQuietNow());
    settings.setQuietHoursEnabled(true);
    EXPECT_TRUE(settings.isQuietNow());
    clock.advance(std::chrono::minutes(1));
    EXPECT_FALSE(settings.isQuietNow());
}

TEST_F(SoundSettingsTest, EveryAssignmentSavesButOnlyChangesNotify)
{
    SoundSettings settings(defaults, clock, theme.path());
    int changes = 0;
    QObject::connect(&settings, &SoundSettings::changed, [&] { ++changes; });
    settings.setEnabled(true);
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(defaults.value(SoundSettings::key));
    EXPECT_EQ(defaults.value(SoundSettings::key)->at("isEnabled"), true);
    settings.setVolume(1.5);
    EXPECT_EQ(defaults.value(SoundSettings::key)->at("volume"), 1.5);
    settings.setChoice(SoundChoice::builtIn("ask"), SoundEvent::permission);
    settings.setChoice(SoundChoice::builtIn("ask"), SoundEvent::permission);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(defaults.value(SoundSettings::key)->at("choices"),
              (nlohmann::json{{"permission", {{"builtIn", {{"_0", "ask"}}}}}}));
}

TEST(SoundCatalogTest, SystemNamesAreTheThemesOgaFilesSorted)
{
    test::TemporaryFolder theme;
    for (const char* file : {"zeta.oga", "alpha.oga", "Loud.OGA", "readme", ".oga"})
        std::ofstream(theme.path() / file) << "x";
    EXPECT_EQ(SoundCatalog::system(theme.path()), (std::vector<std::string>{"alpha", "zeta"}));
    EXPECT_TRUE(SoundCatalog::system(theme.path() / "missing").empty());
    EXPECT_EQ(SoundCatalog::builtIn(), (std::vector<std::string>{"ask", "done", "tap"}));
}

} // namespace
