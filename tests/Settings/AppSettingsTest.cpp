#include "Settings/AppSettings.h"
#include "support/MemoryDefaults.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(AppSettingsTest, OpensOnAttentionIsTrueUnlessAFalseBoolIsStored)
{
    test::MemoryDefaults defaults;
    EXPECT_TRUE(AppSettings::opensOnAttention(defaults));
    defaults.setValue("opensOnAttention", "no");
    EXPECT_TRUE(AppSettings::opensOnAttention(defaults));
    defaults.setValue("opensOnAttention", false);
    EXPECT_FALSE(AppSettings::opensOnAttention(defaults));
}

TEST(AppSettingsTest, MigratesBuiltInOnlyWhenABuiltInScreenIsPresent)
{
    const ScreenDescription laptop{"eDP-1", "BOE", "X", "1", QRect(0, 0, 100, 100)};
    const ScreenDescription external{"DP-2", "DEL", "U2720", "9", QRect(100, 0, 100, 100)};
    const std::string laptopId = *DisplayIdentity::id(laptop);

    struct Case
    {
        std::optional<std::string> stored;
        std::vector<ScreenDescription> screens;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"builtInOnly", {external}, "builtInOnly"},
        {"builtInOnly", {external, laptop}, "display:" + laptopId},
        {"lastClicked", {laptop}, "lastClicked"},
        {std::nullopt, {laptop}, std::nullopt},
        {"display:OTHER", {laptop}, "display:OTHER"},
    };
    for (const auto& c : cases) {
        test::MemoryDefaults defaults;
        if (c.stored)
            defaults.setValue("displayMode", *c.stored);
        AppSettings::migratePlacement(c.screens, defaults);
        EXPECT_EQ(defaults.stringValue("displayMode"), c.expected) << c.stored.value_or("<none>");
    }
}
