#include "Ingestion/HookProvisioner.h"

#include "Shared/AgentCatalog.h"
#include "Shared/AppPaths.h"
#include "Shared/FileUtil.h"
#include "Shared/HookCleanup.h"
#include "Shared/Log.h"

#include <system_error>

namespace velquist::HookProvisioner {

namespace fs = std::filesystem;

bool pathExists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<HookInstallTarget> installedTargets(const UserDefaults& defaults, const FileExists& fileExists)
{
    std::vector<HookInstallTarget> targets;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        if (agent.alwaysHooked || fileExists(agent.configDirectory(AppPaths::home())))
            targets.push_back(HookInstaller::target(agent.idNamespace, defaults));
    }
    return targets;
}

std::vector<std::string> apply(const UserDefaults& defaults, const FileExists& fileExists,
                               const fs::path& helperSource)
{
    std::vector<std::string> failures;
    auto fail = [&failures](const std::string& error) {
        Log::system("Velquist: hook install failed: " + error);
        failures.push_back(error);
    };
    if (const FileResult helper = HookInstaller::ensureHelperInstalled(helperSource); !helper) {
        fail(helper.error);
        return failures;
    }
    const std::vector<HookInstallTarget> targets = installedTargets(defaults, fileExists);
    // Temporaries a killed writer left beside a configuration or its backup. Under the lock no
    // writer of ours is at work, so even a fresh one is left over.
    HookCleanup::withLock([&targets] {
        for (const HookInstallTarget& target : targets) {
            FileUtil::removeTemporariesOf(target.configURL);
            FileUtil::removeTemporariesOf(target.backupURL);
        }
    });
    for (const HookInstallTarget& target : targets) {
        if (const ConfigChange result = HookInstaller::installHooks(target); !result.ok())
            fail(result.error);
    }
    return failures;
}

} // namespace velquist::HookProvisioner
