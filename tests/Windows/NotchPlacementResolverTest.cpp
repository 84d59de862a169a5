#include "Windows/NotchPlacementResolver.h"

#include <gtest/gtest.h>

using namespace velquist;
using Ids = std::set<std::string>;

namespace {

const ScreenFacts kLaptop{"L", true, false};
const ScreenFacts kLeft{"A", false, false};
const ScreenFacts kRightCovered{"B", false, true};
const ScreenFacts kLaptopCovered{"L", true, true};

NotchPlacement parse(const char* stored)
{
    return NotchPlacement(std::optional<std::string>(stored));
}

} // namespace

TEST(NotchPlacementResolverTest, ActiveScreensForEveryPlacement)
{
    struct Case
    {
        const char* name;
        std::vector<ScreenFacts> attached;
        NotchPlacement placement;
        std::optional<std::string> lastClicked;
        bool hides;
        bool attention;
        Ids expected;
    };
    const std::vector<ScreenFacts> three{kLeft, kLaptop, kRightCovered};
    const Case cases[] = {
        {"all, nothing attached", {}, parse("allDisplays"), std::nullopt, false, false, {}},
        {"last clicked, nothing attached", {}, parse("lastClicked"), "A", false, false, {}},
        {"built-in, nothing attached", {}, parse("builtInOnly"), std::nullopt, false, false, {}},
        {"display, nothing attached", {}, parse("display:A"), std::nullopt, false, false, {}},
        {"all", three, parse("allDisplays"), std::nullopt, false, false, {"A", "L", "B"}},
        {"absent setting is all",
         three,
         NotchPlacement(std::nullopt),
         std::nullopt,
         false,
         false,
         {"A", "L", "B"}},
        {"last clicked found", three, parse("lastClicked"), "B", false, false, {"B"}},
        {"last clicked never recorded", three, parse("lastClicked"), std::nullopt, false, false, {"L"}},
        {"last clicked detached", three, parse("lastClicked"), "gone", false, false, {"L"}},
        {"last clicked, none built in",
         {kLeft, kRightCovered},
         parse("lastClicked"),
         "gone",
         false,
         false,
         {"A"}},
        {"built-in only", three, parse("builtInOnly"), std::nullopt, false, false, {"L"}},
        {"built-in only without one",
         {kLeft, kRightCovered},
         parse("builtInOnly"),
         std::nullopt,
         false,
         false,
         {}},
        {"display attached", three, parse("display:A"), std::nullopt, false, false, {"A"}},
        {"display detached", three, parse("display:Z"), std::nullopt, false, false, {}},
        {"display with empty id", three, parse("display:"), std::nullopt, false, false, {}},
        {"other case parses to all", three, parse("LastClicked"), "B", false, false, {"A", "L", "B"}},
        {"full screen hides covered", three, parse("allDisplays"), std::nullopt, true, false, {"A", "L"}},
        {"attention keeps covered", three, parse("allDisplays"), std::nullopt, true, true, {"A", "L", "B"}},
        {"hiding off keeps covered",
         three,
         parse("allDisplays"),
         std::nullopt,
         false,
         false,
         {"A", "L", "B"}},
        {"covered choice does not move", three, parse("lastClicked"), "B", true, false, {}},
        {"covered built-in, others free",
         {kLeft, kLaptopCovered},
         parse("builtInOnly"),
         std::nullopt,
         true,
         false,
         {}},
        {"covered built-in, attention",
         {kLeft, kLaptopCovered},
         parse("builtInOnly"),
         std::nullopt,
         true,
         true,
         {"L"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NotchPlacementResolver::activeScreenIDs(c.attached, c.placement, c.lastClicked, c.hides,
                                                          c.attention),
                  c.expected);
    }
}

TEST(NotchPlacementResolverTest, TwinScreensSharingAnIdGetOnePanelOnTheFirst)
{
    const ScreenFacts twinA{"TWIN", false, false};
    const ScreenFacts twinB{"TWIN", false, false};
    const std::vector<ScreenFacts> attached{kLaptop, twinA, twinB};
    for (const char* stored : {"allDisplays", "display:TWIN", "lastClicked"}) {
        SCOPED_TRACE(stored);
        const auto screens =
            NotchPlacementResolver::activeScreens(attached, parse(stored), std::string("TWIN"), false, false);
        EXPECT_EQ(std::count(screens.begin(), screens.end(), std::size_t(2)), 0)
            << "the second twin shows none";
        EXPECT_EQ(std::count(screens.begin(), screens.end(), std::size_t(1)), 1);
    }
    // The first twin is covered: the choice stays with it rather than moving to its double.
    const ScreenFacts coveredTwin{"TWIN", false, true};
    EXPECT_TRUE(NotchPlacementResolver::activeScreens({coveredTwin, twinB}, parse("display:TWIN"),
                                                      std::nullopt, true, false)
                    .empty());
}
