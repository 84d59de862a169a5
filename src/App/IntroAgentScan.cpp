#include "App/IntroAgentScan.h"

#include "Ingestion/HookInstaller.h"
#include "Ingestion/HookProvisioner.h"

namespace velquist::IntroAgentScan {
namespace {

// The names the tour speaks; the catalog's are the panel's shorter ones.
std::string tourName(const AgentEntry& agent)
{
    return agent.idNamespace == "claude" ? "Claude Code" : std::string(agent.displayName);
}

} // namespace

std::vector<FoundAgent> find(const HomePaths& paths, const std::function<bool(const AgentEntry&)>& hooked)
{
    std::vector<FoundAgent> found;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        if (HookProvisioner::pathExists(agent.configDirectory(paths.home())))
            found.push_back({tourName(agent), hooked && hooked(agent)});
    }
    if (HookProvisioner::pathExists(paths.opencodeConfigDirectory()))
        found.push_back({"opencode", true});
    return found;
}

std::vector<FoundAgent> find(const HomePaths& paths, const UserDefaults& defaults)
{
    return find(paths, [&](const AgentEntry& agent) {
        return HookInstaller::hooksInstalled(HookInstaller::target(agent.idNamespace, defaults));
    });
}

} // namespace velquist::IntroAgentScan
