#include "Shared/AppPaths.h"

#include "Shared/HomePaths.h"

#include <system_error>

namespace velquist::AppPaths {

namespace fs = std::filesystem;

namespace {
HomePaths current()
{
    return HomePaths::fromEnvironment();
}
} // namespace

fs::path home()
{
    return current().home();
}

fs::path claudeSettings()
{
    return current().claudeSettings();
}
fs::path appSupport()
{
    return current().support();
}
fs::path installedHelper()
{
    return current().installedHelper();
}
fs::path bundledHelper()
{
    return executableDirectory() / "quorvel";
}
fs::path claudeSettingsBackup()
{
    return current().claudeSettingsBackup();
}

fs::path socketPath()
{
    return current().socketPath();
}
fs::path appPathFile()
{
    return current().appPathFile();
}
fs::path hooksLock()
{
    return current().hooksLock();
}
fs::path sessionsFile()
{
    return current().sessionsFile();
}
fs::path silenceRulesFile()
{
    return current().silenceRulesFile();
}

fs::path defaultsFile()
{
    return current().defaultsFile();
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
