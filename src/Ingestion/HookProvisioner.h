#pragma once

#include "Ingestion/HookInstaller.h"
#include "Shared/HomePaths.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velquist {

class UserDefaults;

// Brings the hooks of every agent found on this machine up to date in one call, at launch.
namespace HookProvisioner {

using FileExists = std::function<bool(const std::filesystem::path&)>;

// Whether anything (file or folder) exists at `path`.
bool pathExists(const std::filesystem::path& path);

// Claude Code always; Codex, Cursor, Gemini CLI and Qwen Code when their configuration folder
// exists (their file need not: the installer creates it).
std::vector<HookInstallTarget> installedTargets(const HomePaths& paths, const UserDefaults& defaults,
                                                const FileExists& fileExists = pathExists);

// Installs the hook client, then the hooks of each installed agent. A failing agent does not keep
// the others from their hooks; when the hook client cannot be installed, no hooks are written, as
// they would run a program that is not there. Each failure is logged to the system log and
// returned.
std::vector<std::string> apply(const HomePaths& paths, const UserDefaults& defaults,
                               const FileExists& fileExists, const std::filesystem::path& helperSource);

} // namespace HookProvisioner
} // namespace velquist
