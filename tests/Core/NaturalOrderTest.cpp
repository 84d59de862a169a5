#include "Core/NaturalOrder.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(NaturalOrderTest, DigitRunsCompareByValue)
{
    struct Case
    {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"2.0.9", "2.0.10", -1}, {"2.0.10", "2.0.9", 1},   {"2.0.10", "2.0.10", 0}, {"2.1", "2.0.99", 1},
        {"2.0", "2.0.1", -1},    {"1.0.0a", "1.0.0b", -1}, {"10", "9", 1},          {"002", "2", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(naturalCompare(c.a, c.b), c.order) << c.a << " vs " << c.b;
}
