#pragma once

#include "Characters/IntroStepContent.h"
#include "Shared/AgentCatalog.h"
#include "Shared/HomePaths.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

class UserDefaults;

// The agents the tour's last step names: each hook-driven agent, then OpenCode, in that order,
// when its program is on the PATH or its configuration folder (or a file of that name) existed
// before our first launch. The application creates Claude Code's folder itself to install its
// hooks, so a folder's existence alone says nothing once it has run. An agent counts as hooked up
// when `hooked` says its hooks are installed; OpenCode needs no hooks, the application connects to
// its server by itself.
namespace IntroAgentScan {

// The user-defaults key holding the agents whose folders existed at the first launch.
inline constexpr const char* kFoldersBeforeFirstLaunchKey = "agentFoldersBeforeFirstLaunch";

struct Probes
{
    std::function<bool(const AgentEntry&)> hooked;
    // Whether a program of this name is on the PATH.
    std::function<bool(std::string_view program)> onPath;
    // The agents (their id namespace, "opencode") whose folders existed before the first launch;
    // none when that was never recorded, and then every existing folder counts.
    std::optional<std::vector<std::string>> foldersBefore;
};

std::vector<FoundAgent> find(const HomePaths& paths, const Probes& probes);
// Reads the agents' configuration files for our entries, the PATH and the record of the first launch.
std::vector<FoundAgent> find(const HomePaths& paths, const UserDefaults& defaults);
// Stores, once, which agents' folders exist now; run at start-up before anything creates one.
void recordFoldersBeforeFirstLaunch(const HomePaths& paths, UserDefaults& defaults);
// Whether an executable file of this name is in one of the PATH's folders.
bool isOnPath(std::string_view program, const char* path);

} // namespace IntroAgentScan

} // namespace velquist
