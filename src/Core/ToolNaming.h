#pragma once

#include <string>
#include <string_view>

namespace velquist::ToolNaming {

// A readable name for a tool: "mcp__tracker__create_issue" shows as "tracker · create issue",
// "mcp__claude_ai_notes__list_pages" as "notes · list pages"; any other name stays as it is.
std::string display(std::string_view tool);

} // namespace velquist::ToolNaming
