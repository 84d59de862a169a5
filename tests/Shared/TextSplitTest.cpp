#include "Shared/TextSplit.h"

#include <gtest/gtest.h>

using namespace velquist;

TEST(TextSplitTest, KeepsOnlyTheNonEmptyParts)
{
    using Parts = std::vector<std::string_view>;
    const struct
    {
        std::string_view text;
        Parts parts;
    } cases[] = {
        {"", {}},
        {":", {}},
        {"a", {"a"}},
        {"a:b", {"a", "b"}},
        {"::a::b::", {"a", "b"}},
        {"/usr/bin::/bin:", {"/usr/bin", "/bin"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitNonEmpty(c.text, ':'), c.parts) << c.text;
}
