#pragma once

#include <filesystem>

namespace velquist::AppPaths {

// Well-known locations. Each call computes its path from the home folder; nothing is cached and
// nothing is created on disk.
std::filesystem::path home();
std::filesystem::path claudeSettings();
// The support folder, ~/.local/share/Velquist. Not XDG_DATA_HOME: an agent's terminal may set it
// differently from the desktop, and both programs must agree on this path.
std::filesystem::path appSupport();
std::filesystem::path installedHelper();
// The hook client shipped beside the running executable.
std::filesystem::path bundledHelper();
std::filesystem::path claudeSettingsBackup();

// Files inside the support folder.
std::filesystem::path socketPath();
std::filesystem::path appPathFile();
std::filesystem::path hooksLock();
std::filesystem::path sessionsFile();
std::filesystem::path silenceRulesFile();

// Our own settings store, ~/.config/Velquist/defaults.json.
std::filesystem::path defaultsFile();

// The running executable (/proc/self/exe, resolved) and its folder.
std::filesystem::path executablePath();
std::filesystem::path executableDirectory();

// Read-only resources: <prefix>/share/velquist beside an installed executable, else the build
// tree's share/velquist.
std::filesystem::path resourceDirectory();

} // namespace velquist::AppPaths
