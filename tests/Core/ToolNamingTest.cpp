#include "Core/ToolNaming.h"

#include <gtest/gtest.h>
#include <string>

using namespace velquist;

TEST(ToolNamingTest, ShowsMcpToolsAsServerAndTool)
{
    struct Case
    {
        std::string name;
        std::string display;
    } cases[] = {
        {"mcp__tracker__create_issue", "tracker \u00B7 create issue"},
        {"mcp__claude_ai_notes__list_pages", "notes \u00B7 list pages"},
        {"mcp__my_db__run_query", "my_db \u00B7 run query"},
        {"mcp__solo", "solo"},
        {"mcp__claude_ai_docs", "docs"},
        {"mcp__srv__a__b_c", "srv \u00B7 a b c"},
        {"mcp__srv____tool", "srv \u00B7 tool"},
        {"mcp__", "mcp__"},
        {"mcp______", "mcp______"},
        {"Bash", "Bash"},
        {"mcp_x", "mcp_x"},
        {"MCP__a__b", "MCP__a__b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToolNaming::display(c.name), c.display) << c.name;
    }
}
