#include "UI/CardAccent.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/SubagentDisplay.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono;

namespace {

// 1 January 2001 UTC, where the breathing phase starts.
const Clock::WallTime kReference = Clock::WallTime(seconds(978307200));

SubagentRun run(std::string id)
{
    return SubagentRun{id, "name-" + id, std::nullopt, kReference};
}

} // namespace

TEST(ElapsedTextTest, FormatsWholeMinutesAtTheirBoundaries)
{
    const Clock::WallTime from = kReference + hours(24 * 400);
    struct Case
    {
        milliseconds interval;
        std::string expected;
    } cases[] = {
        {seconds(0), "0m"},
        {seconds(59), "0m"},
        {seconds(60), "1m"},
        {seconds(3599), "59m"},
        {seconds(3600), "1h 0m"},
        {seconds(3600 + 5 * 60), "1h 5m"},
        {seconds(86399), "23h 59m"},
        {seconds(86400), "1d 0h"},
        {seconds(86400 + 3600 + 61), "1d 1h"},
        {hours(51), "2d 3h"},
        {milliseconds(59999), "0m"},
        {seconds(-30), "0m"},
        {hours(-48), "0m"},
        {hours(24 * 1000), "1000d 0h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ElapsedText::format(from, from + duration_cast<Clock::WallTime::duration>(c.interval)),
                  c.expected)
            << c.interval.count() << " ms";
    }
}

TEST(CardAccentTest, BreathesBetweenHalfAndFullEveryTwoPointSixSeconds)
{
    struct Case
    {
        Clock::WallTime at;
        double level;
    } cases[] = {
        {kReference, 0.5},
        {kReference + milliseconds(1300), 1.0},
        {kReference + milliseconds(2600), 0.5},
        {kReference + milliseconds(650), 0.75},
        {kReference + seconds(26000) + milliseconds(1300), 1.0},
        // Before the reference date the phase keeps going the same way.
        {kReference - milliseconds(1300), 1.0},
        {kReference - milliseconds(2600), 0.5},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(CardAccent::breathingLevel(c.at), c.level, 1e-6);
    }
    EXPECT_DOUBLE_EQ((CardAccent{QColor(Qt::green), false}.level(kReference)), 1.0);
    EXPECT_DOUBLE_EQ((CardAccent{QColor(Qt::green), true}.level(kReference)), 0.5);
}

TEST(SubagentDisplayTest, ListsThreeAndTalliesTheRest)
{
    struct Case
    {
        std::int64_t running;
        std::int64_t done;
        std::size_t rows;
        std::optional<std::string> tally;
    } cases[] = {
        {0, 0, 0, std::nullopt},       {0, 1, 0, "1 subagent done"},
        {0, 2, 0, "2 subagents done"}, {2, 0, 2, std::nullopt},
        {2, 1, 2, "1 of 3 done"},      {3, 0, 3, std::nullopt},
        {4, 0, 3, "+1 more"},          {5, 2, 3, "+2 more \u00b7 2 of 7 done"},
        {500, 0, 3, "+497 more"},      {0, -3, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        std::vector<SubagentRun> runs;
        for (std::int64_t i = 0; i < c.running; ++i)
            runs.push_back(run(std::to_string(i)));
        const auto visible = SubagentDisplay::visible(runs);
        EXPECT_EQ(visible.size(), c.rows) << c.running << "/" << c.done;
        for (std::size_t i = 0; i < visible.size(); ++i)
            EXPECT_EQ(visible[i].id, std::to_string(i)) << "listed in the session's order";
        EXPECT_EQ(SubagentDisplay::summary(c.running, c.done), c.tally) << c.running << "/" << c.done;
    }
    EXPECT_TRUE(SubagentDisplay::summary(INT64_MAX, INT64_MAX).has_value());
}
