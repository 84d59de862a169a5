#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace velquist::ToolActivity {

// The one-line text of what a tool call does, for a session row: "Edit main.c", "$ npm test",
// "Search TODO", "Agent: review the patch". `input` is the tool's input object (anything else,
// including null, counts as an empty input). Texts carrying agent-written words are one line of at
// most 64 characters. Pure and thread-safe; never fails.
std::string describe(std::string_view tool, const nlohmann::json& input);

} // namespace velquist::ToolActivity
