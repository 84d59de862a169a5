#pragma once

#include "Shared/HomePaths.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velquist {

class LoginItem;
class SessionStore;
class Trash;
class UserDefaults;

// Removes every trace of the application in one call, then quits: our hook entries in the agents'
// configuration files, the login item, the support folder, the settings, and last the
// application's own files, which go to the trash. Programs in a folder the user cannot write
// belong to a system-wide install: they stay for the package manager to remove, and the user is
// told so. Main thread.
class Uninstaller
{
  public:
    // `paths` are the user's whose traces go. `ownFiles` are the application's executables, the only files it
    // ever moves to the trash. `stopHookWriters` stops every service that could write hooks again (the
    // version probe's late install, the adapters' healing); `quit` ends the application through its shutdown.
    // `tell` shows the user a message before the quit.
    Uninstaller(HomePaths paths, SessionStore& store, UserDefaults& defaults, LoginItem& loginItem,
                Trash& trash, std::vector<std::filesystem::path> ownFiles,
                std::function<void()> stopHookWriters, std::function<void()> quit,
                std::function<void(const std::string&)> tell = {});

    // Whether the user may change a folder's entries; the check for a system-wide install. By
    // default the access the user has; tests, which may run as root, set their own.
    void setFolderWritable(std::function<bool(const std::filesystem::path&)> writable)
    {
        m_folderWritable = std::move(writable);
    }

    // What the user is told when the programs belong to the package manager.
    static std::string packageManagerNotice(const std::filesystem::path& folder);

    // Runs every step whatever the earlier ones did; only a failed move to the trash is reported
    // (the system log, and the file shown in the file manager). The quit follows from the event
    // loop.
    void removeEverything();

  private:
    HomePaths m_paths;
    SessionStore& m_store;
    UserDefaults& m_defaults;
    LoginItem& m_loginItem;
    Trash& m_trash;
    std::vector<std::filesystem::path> m_ownFiles;
    std::function<void()> m_stopHookWriters;
    std::function<void()> m_quit;
    std::function<void(const std::string&)> m_tell;
    std::function<bool(const std::filesystem::path&)> m_folderWritable;
};

} // namespace velquist
