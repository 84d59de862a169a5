#pragma once

#include "Characters/IntroStepContent.h"
#include "Shared/AgentCatalog.h"
#include "Shared/HomePaths.h"

#include <functional>
#include <vector>

namespace velquist {

class UserDefaults;

// The agents the tour's last step names: each hook-driven agent whose configuration folder (or a
// file of that name) exists, then OpenCode when its configuration folder exists, in that order.
// An agent counts as hooked up when `hooked` says its hooks are installed; OpenCode needs no hooks,
// the application connects to its server by itself.
namespace IntroAgentScan {

std::vector<FoundAgent> find(const HomePaths& paths, const std::function<bool(const AgentEntry&)>& hooked);
// Reads the agents' configuration files for our entries.
std::vector<FoundAgent> find(const HomePaths& paths, const UserDefaults& defaults);

} // namespace IntroAgentScan
} // namespace velquist
