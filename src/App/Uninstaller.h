#pragma once

#include <filesystem>
#include <functional>
#include <vector>

namespace velquist {

class LoginItem;
class SessionStore;
class Trash;
class UserDefaults;

// Removes every trace of the application in one call, then quits: our hook entries in the agents'
// configuration files, the login item, the support folder, the settings, and last the
// application's own files, which go to the trash. Main thread.
class Uninstaller
{
  public:
    // `ownFiles` are the application's executables, the only files it ever moves to the trash.
    // `stopHookWriters` stops every service that could write hooks again (the version probe's
    // late install, the adapters' healing); `quit` ends the application through its shutdown.
    Uninstaller(SessionStore& store, UserDefaults& defaults, LoginItem& loginItem, Trash& trash,
                std::vector<std::filesystem::path> ownFiles, std::function<void()> stopHookWriters,
                std::function<void()> quit);

    // Runs every step whatever the earlier ones did; only a failed move to the trash is reported
    // (the system log, and the file shown in the file manager). The quit follows from the event
    // loop.
    void removeEverything();

  private:
    SessionStore& m_store;
    UserDefaults& m_defaults;
    LoginItem& m_loginItem;
    Trash& m_trash;
    std::vector<std::filesystem::path> m_ownFiles;
    std::function<void()> m_stopHookWriters;
    std::function<void()> m_quit;
};

} // namespace velquist
