#include "Shared/AppPaths.h"

#include "Shared/UserAccount.h"

#include <system_error>

namespace velquist::AppPaths {

namespace fs = std::filesystem;

namespace {
fs::path inHome(const char* relative)
{
    return home() / relative;
}
} // namespace

fs::path home()
{
    return fs::path(UserAccount::homeDirectory());
}

fs::path claudeSettings()
{
    return inHome(".claude/settings.json");
}
fs::path codexDirectory()
{
    return inHome(".codex");
}
fs::path cursorDirectory()
{
    return inHome(".cursor");
}
fs::path geminiDirectory()
{
    return inHome(".gemini");
}
fs::path qwenDirectory()
{
    return inHome(".qwen");
}
fs::path opencodeConfigDirectory()
{
    return inHome(".config/opencode");
}
fs::path appSupport()
{
    return inHome(".local/share/Velquist");
}
fs::path installedHelper()
{
    return appSupport() / "bin" / "quorvel";
}
fs::path bundledHelper()
{
    return executableDirectory() / "quorvel";
}
fs::path claudeSettingsBackup()
{
    return inHome(".claude/settings.json.velquist.bak");
}

fs::path socketPath()
{
    return appSupport() / "notch.sock";
}
fs::path appPathFile()
{
    return appSupport() / "app-path";
}
fs::path hooksLock()
{
    return appSupport() / "hooks.lock";
}
fs::path sessionsFile()
{
    return appSupport() / "sessions.json";
}
fs::path silenceRulesFile()
{
    return appSupport() / "silence-rules.json";
}

fs::path defaultsFile()
{
    return inHome(".config/Velquist/defaults.json");
}

fs::path executablePath()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

fs::path executableDirectory()
{
    return executablePath().parent_path();
}

fs::path resourceDirectory()
{
    const fs::path dir = executableDirectory();
    std::error_code ec;
    const fs::path installed = dir.parent_path() / "share" / "velquist";
    if (fs::is_directory(installed, ec))
        return installed;
    return dir / "share" / "velquist";
}

} // namespace velquist::AppPaths
