#include "Shared/HomePaths.h"

#include "Shared/UserAccount.h"

namespace velquist {

namespace fs = std::filesystem;

HomePaths::HomePaths(fs::path home) : m_home(std::move(home)), m_support(m_home / ".local/share/Velquist") {}

HomePaths HomePaths::fromEnvironment()
{
    return HomePaths(fs::path(UserAccount::homeDirectory()));
}

fs::path HomePaths::claudeSettings() const
{
    return m_home / ".claude/settings.json";
}
fs::path HomePaths::claudeSettingsBackup() const
{
    return m_home / ".claude/settings.json.velquist.bak";
}
fs::path HomePaths::claudeCredentials() const
{
    return m_home / ".claude/.credentials.json";
}
fs::path HomePaths::claudeGlobalConfig() const
{
    return m_home / ".claude.json";
}
fs::path HomePaths::opencodeConfigDirectory() const
{
    return m_home / ".config/opencode";
}
fs::path HomePaths::legacySupport() const
{
    return m_home / ".local/share/Tarrowin";
}

fs::path HomePaths::installedHelper() const
{
    return m_support / "bin" / "quorvel";
}
fs::path HomePaths::socketPath() const
{
    return m_support / "notch.sock";
}
fs::path HomePaths::appPathFile() const
{
    return m_support / "app-path";
}
fs::path HomePaths::hooksLock() const
{
    return m_support / "hooks.lock";
}
fs::path HomePaths::sessionsFile() const
{
    return m_support / "sessions.json";
}
fs::path HomePaths::silenceRulesFile() const
{
    return m_support / "silence-rules.json";
}

fs::path HomePaths::defaultsFile() const
{
    return m_home / ".config/Velquist/defaults.json";
}

} // namespace velquist
