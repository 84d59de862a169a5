#pragma once

#include <filesystem>

namespace velquist {

// The locations of one user's files, all below one home folder: the agents' configurations, the
// support folder and our own settings. Computed from the environment once, where a program starts,
// and handed to whatever needs a path; tests build one on a folder of their own. Nothing here
// touches the disk.
class HomePaths
{
  public:
    explicit HomePaths(std::filesystem::path home);
    // HOME when absolute, else the password database's entry (see UserAccount).
    static HomePaths fromEnvironment();

    const std::filesystem::path& home() const { return m_home; }
    // ~/.local/share/Velquist. Not XDG_DATA_HOME: an agent's terminal may set it differently from
    // the desktop, and both programs must agree on this path.
    const std::filesystem::path& support() const { return m_support; }

    std::filesystem::path claudeSettings() const;
    std::filesystem::path claudeSettingsBackup() const;
    // Claude Code's own login (~/.claude/.credentials.json) and its global configuration
    // (~/.claude.json); read, never written.
    std::filesystem::path claudeCredentials() const;
    std::filesystem::path claudeGlobalConfig() const;
    std::filesystem::path opencodeConfigDirectory() const;
    // The support folder of the application's former name.
    std::filesystem::path legacySupport() const;

    // Files inside the support folder.
    std::filesystem::path installedHelper() const;
    std::filesystem::path socketPath() const;
    std::filesystem::path appPathFile() const;
    std::filesystem::path hooksLock() const;
    std::filesystem::path sessionsFile() const;
    std::filesystem::path silenceRulesFile() const;

    // Our own settings store, ~/.config/Velquist/defaults.json.
    std::filesystem::path defaultsFile() const;

  private:
    std::filesystem::path m_home;
    std::filesystem::path m_support;
};

} // namespace velquist
