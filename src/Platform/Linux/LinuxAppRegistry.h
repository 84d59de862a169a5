#pragma once

#include "Platform/AppRegistry.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velquist {

class DesktopEntryIndex;
class X11ClientWindows;

// Applications recognised from a process's executable and its X11 windows. A process is an
// application when it owns a top-level window, or when its executable is one we know or one an
// installed desktop file launches; without an X server only the second holds, and nothing is
// reported as regular. Thread-safe.
class LinuxAppRegistry final : public AppRegistry
{
  public:
    struct Options
    {
        // As in DISPLAY; empty for no X server (also under Wayland, whose windows X cannot see).
        std::string display;
        // Folders holding desktop files, in order of precedence.
        std::vector<std::filesystem::path> applicationDirectories;
        // As in LANG, for localized names.
        std::string locale;

        static Options fromEnvironment();
    };

    explicit LinuxAppRegistry(Options options = Options::fromEnvironment());
    ~LinuxAppRegistry() override;

    std::optional<RunningApp> application(pid_t pid) const override;
    bool canSeeWindows() const override;

    // The names a process goes by, best first: its executable's, its argv[0]'s, and when it is an
    // interpreter the script's it runs. Empty when the process is gone.
    static std::vector<std::string> executableNames(pid_t pid);

  private:
    const DesktopEntryIndex& desktopEntries() const;

    const Options m_options;
    mutable std::mutex m_mutex;
    mutable std::unique_ptr<DesktopEntryIndex> m_desktopEntries;
    const std::unique_ptr<X11ClientWindows> m_windows;
};

} // namespace velquist
