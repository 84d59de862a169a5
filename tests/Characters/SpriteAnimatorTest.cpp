#include "Characters/SpriteAnimator.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace velquist;
using SpriteAnimator::Position;
using SpriteAnimator::Step;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

} // namespace

TEST(SpriteAnimatorTest, LocatesStepAndFrame)
{
    const std::vector<Step> one{{4, 8, 1}};
    const std::vector<Step> two{{2, 4, 2}, {3, 6, 1}};
    const struct
    {
        const char* why;
        std::vector<Step> steps;
        bool loops;
        double elapsed;
        Position expected;
    } cases[] = {
        {"start", one, true, 0, {0, 0}},
        {"just before the second frame", one, true, 0.124, {0, 0}},
        {"second frame", one, true, 0.125, {0, 1}},
        {"wraps", one, true, 0.5, {0, 0}},
        {"negative time", one, true, -1, {0, 0}},
        {"last frame before the end", one, false, 0.49, {0, 3}},
        {"holds the last frame", one, false, 0.5, {0, 3}},
        {"holds it later too", one, false, 1000, {0, 3}},
        {"repeated step", two, true, 0.75, {0, 1}},
        {"second step", two, true, 1.0, {1, 0}},
        {"end of the second step", two, true, 1.4, {1, 2}},
        {"loops back", two, true, 1.6, {0, 0}},
        {"no steps", {}, true, 3, {0, 0}},
        {"fps 0 has no time", {{4, 0, 1}, {2, 2, 1}}, true, 0.6, {1, 1}},
        {"everything without time", {{4, 0, 1}, {0, 8, 1}}, true, 5, {0, 0}},
        {"negative plays count as one", {{4, 4, -3}, {2, 2, 1}}, true, 1.2, {1, 0}},
        {"frameless last step holds 0", {{2, 2, 1}, {0, 2, 1}}, false, 9, {1, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpriteAnimator::locate(c.elapsed, c.steps, c.loops), c.expected) << c.why;
}

TEST(SpriteAnimatorTest, HugeOrOddNumbersStayInRange)
{
    const struct
    {
        const char* why;
        std::vector<Step> steps;
        bool loops;
        double elapsed;
    } cases[] = {
        {"huge fps", {{8, 1e308, 1}}, true, 1e6},
        {"infinite fps", {{8, kInf, 1}}, true, 3},
        {"NaN fps", {{8, kNaN, 1}}, true, 3},
        {"tiny fps", {{8, 1e-308, 1}}, true, 1e300},
        {"huge frame count", {{kMax, 1e300, kMax}}, true, 1e300},
        {"huge plays", {{4, 8, kMax}}, false, 1e300},
        {"sum overflows", {{kMax, 1e-300, kMax}, {kMax, 1e-300, kMax}}, true, 5},
        {"infinite time", {{4, 8, 1}}, true, kInf},
        {"infinite time, no loop", {{4, 8, 1}}, false, kInf},
        {"NaN time", {{4, 8, 1}}, true, kNaN},
        {"most negative frames", {{std::numeric_limits<std::int64_t>::min(), 8, 1}}, false, 1},
    };
    for (const auto& c : cases) {
        const Position at = SpriteAnimator::locate(c.elapsed, c.steps, c.loops);
        ASSERT_GE(at.step, 0) << c.why;
        ASSERT_LT(at.step, static_cast<std::int64_t>(c.steps.size())) << c.why;
        const Step& step = c.steps[static_cast<std::size_t>(at.step)];
        EXPECT_GE(at.frame, 0) << c.why;
        EXPECT_LT(at.frame, std::max<std::int64_t>(step.frames, 1)) << c.why;
    }
}
