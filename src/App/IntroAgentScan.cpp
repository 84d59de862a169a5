#include "App/IntroAgentScan.h"

#include "Ingestion/HookInstaller.h"
#include "Ingestion/HookProvisioner.h"
#include "Platform/UserDefaults.h"
#include "Shared/FileUtil.h"
#include "Shared/TextSplit.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace velquist::IntroAgentScan {
namespace {

constexpr std::string_view kOpenCode = "opencode";

std::string tourName(const AgentEntry& agent)
{
    return std::string(agent.fullName.empty() ? agent.displayName : agent.fullName);
}

// The command each agent installs.
std::string_view programOf(std::string_view id)
{
    const AgentEntry* agent = AgentCatalog::find(id);
    return agent ? agent->program : id;
}

std::vector<std::pair<std::string, std::filesystem::path>> agentFolders(const HomePaths& paths)
{
    std::vector<std::pair<std::string, std::filesystem::path>> folders;
    for (const AgentEntry& agent : AgentCatalog::all())
        folders.emplace_back(agent.idNamespace, agent.configDirectory(paths.home()));
    folders.emplace_back(kOpenCode, paths.opencodeConfigDirectory());
    return folders;
}

} // namespace

std::vector<FoundAgent> find(const HomePaths& paths, const Probes& probes)
{
    const auto present = [&](std::string_view id, const std::filesystem::path& folder) {
        if (probes.onPath && probes.onPath(programOf(id)))
            return true;
        if (!HookProvisioner::pathExists(folder))
            return false;
        return !probes.foldersBefore ||
               std::ranges::find(*probes.foldersBefore, id) != probes.foldersBefore->end();
    };
    std::vector<FoundAgent> found;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        if (present(agent.idNamespace, agent.configDirectory(paths.home())))
            found.push_back({tourName(agent), probes.hooked && probes.hooked(agent)});
    }
    if (present(kOpenCode, paths.opencodeConfigDirectory()))
        found.push_back({"opencode", true});
    return found;
}

std::vector<FoundAgent> find(const HomePaths& paths, const UserDefaults& defaults)
{
    Probes probes;
    probes.hooked = [&](const AgentEntry& agent) {
        return HookInstaller::hooksInstalled(HookInstaller::target(paths, agent.idNamespace, defaults));
    };
    probes.onPath = [](std::string_view program) { return isOnPath(program, std::getenv("PATH")); };
    const auto stored = defaults.value(kFoldersBeforeFirstLaunchKey);
    if (stored && stored->is_array()) {
        probes.foldersBefore.emplace();
        for (const auto& id : *stored) {
            if (id.is_string())
                probes.foldersBefore->push_back(id.get<std::string>());
        }
    }
    return find(paths, probes);
}

void recordFoldersBeforeFirstLaunch(const HomePaths& paths, UserDefaults& defaults)
{
    if (defaults.value(kFoldersBeforeFirstLaunchKey))
        return;
    nlohmann::json existing = nlohmann::json::array();
    for (const auto& [id, folder] : agentFolders(paths)) {
        if (HookProvisioner::pathExists(folder))
            existing.push_back(id);
    }
    defaults.setValue(kFoldersBeforeFirstLaunchKey, std::move(existing));
}

bool isOnPath(std::string_view program, const char* path)
{
    if (!path || program.empty())
        return false;
    // An empty entry is the current folder, which is no place to look for an installed agent.
    for (const std::string_view folder : splitNonEmpty(path, ':')) {
        if (FileUtil::isExecutableFile(std::filesystem::path(folder) / program))
            return true;
    }
    return false;
}

} // namespace velquist::IntroAgentScan
