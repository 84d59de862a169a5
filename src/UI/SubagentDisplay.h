#pragma once

#include "Core/Session.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

// Which running subagents a session card lists, and the tally line under them.
namespace SubagentDisplay {

inline constexpr std::size_t kMaxListed = 3;

// Fewer than four runs are all listed; four or more are cut to the first three.
std::vector<SubagentRun> visible(const std::vector<SubagentRun>& runs);

// "+2 more · 2 of 7 done", "1 subagent done", "3 subagents done"; none when there is nothing to
// say. `running` counts every running subagent, listed or not.
std::optional<std::string> summary(std::int64_t running, std::int64_t done);

} // namespace SubagentDisplay
} // namespace velquist
