#include "Windows/NotchPlacement.h"
#include "Windows/DisplayIdentity.h"

#include <gtest/gtest.h>

using namespace velquist;
using Kind = NotchPlacement::Kind;

TEST(NotchPlacementTest, ParsesStoredText)
{
    struct Case
    {
        std::optional<std::string> stored;
        Kind kind;
        std::string id;
    };
    const Case cases[] = {
        {std::nullopt, Kind::allDisplays, ""},
        {"allDisplays", Kind::allDisplays, ""},
        {"lastClicked", Kind::lastClicked, ""},
        {"builtInOnly", Kind::builtInOnly, ""},
        {"BuiltInOnly", Kind::allDisplays, ""},
        {"display:ABC-1", Kind::display, "ABC-1"},
        {"display:", Kind::display, ""},
        {"display", Kind::allDisplays, ""},
        {"", Kind::allDisplays, ""},
    };
    for (const auto& c : cases) {
        const NotchPlacement placement(c.stored);
        EXPECT_EQ(placement.kind, c.kind) << c.stored.value_or("<none>");
        EXPECT_EQ(placement.displayID, c.id);
        if (c.stored && c.kind != Kind::allDisplays) {
            EXPECT_EQ(placement.stored(), *c.stored);
        }
    }
}

TEST(DisplayIdentityTest, IdsAreStableUuidTextsAndPointsBelongToOneScreen)
{
    ScreenDescription laptop{"eDP-1", "BOE", "0x0BCA", "", QRect(0, 0, 1920, 1080)};
    ScreenDescription external{"HDMI-1", "", "", "", QRect(1920, 0, 2560, 1440)};
    ScreenDescription anonymous{"", "", "", "", QRect()};

    const auto id = DisplayIdentity::id(laptop);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->size(), 36u);
    EXPECT_EQ(*id, *DisplayIdentity::id(laptop));
    EXPECT_EQ(QString::fromStdString(*id), QString::fromStdString(*id).toUpper());
    EXPECT_NE(*id, *DisplayIdentity::id(external));
    EXPECT_FALSE(DisplayIdentity::id(anonymous));

    EXPECT_TRUE(DisplayIdentity::isBuiltIn(laptop));
    EXPECT_FALSE(DisplayIdentity::isBuiltIn(external));
    EXPECT_TRUE(DisplayIdentity::isBuiltIn({"LVDS1", "", "", "", {}}));
    EXPECT_TRUE(DisplayIdentity::isBuiltIn({"DSI-1", "", "", "", {}}));

    const std::vector<ScreenDescription> screens{laptop, external};
    EXPECT_EQ(DisplayIdentity::screenContaining({1920, 10}, screens), 1u) << "shared edge goes to the right";
    EXPECT_EQ(DisplayIdentity::screenContaining({1919, 10}, screens), 0u);
    EXPECT_EQ(DisplayIdentity::screenContaining({0, 0}, screens), 0u);
    EXPECT_FALSE(DisplayIdentity::screenContaining({-1, 0}, screens));
    EXPECT_FALSE(DisplayIdentity::screenContaining({0, 0}, {}));
}
