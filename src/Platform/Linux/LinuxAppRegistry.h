#pragma once

#include "Platform/AppRegistry.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velquist {

class DesktopEntryIndex;
class WindowSystem;

// Applications recognised from a process's executable and its windows. A process is an
// application when it owns a top-level window, or when its executable is one we know or one an
// installed desktop file launches; where windows cannot be seen only the second holds, and nothing
// is reported as regular. Thread-safe, as the window system is.
class LinuxAppRegistry final : public AppRegistry
{
  public:
    struct Options
    {
        // Folders holding desktop files, in order of precedence.
        std::vector<std::filesystem::path> applicationDirectories;
        // As in LANG, for localized names.
        std::string locale;

        // The desktop's folders and locale, with the user's own desktop files under `home`.
        static Options forHome(const std::filesystem::path& home);
    };

    LinuxAppRegistry(const WindowSystem& windows, Options options);
    ~LinuxAppRegistry() override;

    std::optional<RunningApp> application(pid_t pid) const override;
    bool canSeeWindows() const override;
    std::vector<InstalledApp> installedTerminals() const override;

    // The names a process goes by, best first: its executable's, its argv[0]'s, and when it is an
    // interpreter the script's it runs. Empty when the process is gone.
    static std::vector<std::string> executableNames(pid_t pid);

  private:
    const DesktopEntryIndex& desktopEntries() const;

    const Options m_options;
    mutable std::mutex m_mutex;
    mutable std::unique_ptr<DesktopEntryIndex> m_desktopEntries;
    const WindowSystem& m_windows;
};

} // namespace velquist
