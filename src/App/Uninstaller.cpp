#include "App/Uninstaller.h"

#include "Core/SessionStore.h"
#include "Platform/LoginItem.h"
#include "Platform/Trash.h"
#include "Platform/UserDefaults.h"
#include "Shared/HookCleanup.h"
#include "Shared/Log.h"

#include <QCoreApplication>
#include <cerrno>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace velquist {

Uninstaller::Uninstaller(HomePaths paths, SessionStore& store, UserDefaults& defaults, LoginItem& loginItem,
                         Trash& trash, std::vector<std::filesystem::path> ownFiles,
                         std::function<void()> stopHookWriters, std::function<void()> quit,
                         std::function<void(const std::string&)> tell)
    : m_paths(std::move(paths)), m_store(store), m_defaults(defaults), m_loginItem(loginItem), m_trash(trash),
      m_ownFiles(std::move(ownFiles)), m_stopHookWriters(std::move(stopHookWriters)), m_quit(std::move(quit)),
      m_tell(std::move(tell)), m_folderWritable([](const std::filesystem::path& folder) {
          // A folder that is missing or unreadable says nothing about who installed; the move
          // to the trash finds out and reports it.
          return ::access(folder.c_str(), W_OK) == 0 || (errno != EACCES && errno != EPERM && errno != EROFS);
      })
{
}

std::string Uninstaller::packageManagerNotice(const std::filesystem::path& folder)
{
    return "Velquist removed its hooks, its start at login and its settings. Its programs in " +
           folder.string() +
           " were installed for the whole system: the package manager removes them (for example "
           "\"sudo apt remove velquist\").";
}

void Uninstaller::removeEverything()
{
    // First, so that nothing puts our entries back behind the strip below.
    if (m_stopHookWriters)
        m_stopHookWriters();

    const std::filesystem::path& home = m_paths.home();
    if (!HookCleanup::withLock(m_paths, [&home] { HookCleanup::stripAllConfigs(home); })) {
        // Left in place, the entries would run a hook client that is about to be deleted on every
        // tool call of every agent. Each file's edit is still redone when someone else changed it
        // meanwhile, so stripping without the lock loses nothing of theirs.
        Log::debug("hooks", "hooks lock not taken; stripping without it");
        HookCleanup::stripAllConfigs(home);
    }

    if (auto removed = m_loginItem.disable(); !removed)
        Log::debug("cleanup", "login item: " + removed.error);

    // Not even the shutdown's save, nor one still queued, may bring the support folder back.
    m_store.disablePersistence();

    std::error_code ec;
    std::filesystem::remove_all(m_paths.support(), ec);
    if (ec)
        Log::debug("cleanup", "support folder: " + ec.message());

    m_defaults.removePersistentDomain();

    std::optional<std::filesystem::path> systemFolder;
    for (const auto& file : m_ownFiles) {
        // A system-wide install is the package manager's to remove; moving its files is not ours
        // to try, and would leave the package's records wrong if it worked.
        if (!m_folderWritable(file.parent_path())) {
            systemFolder = file.parent_path();
            continue;
        }
        if (auto moved = m_trash.moveToTrash(file); !moved) {
            Log::system("Velquist: could not move the app to the Trash: " + moved.error);
            m_trash.reveal(file);
        }
    }
    if (systemFolder) {
        const std::string notice = packageManagerNotice(*systemFolder);
        Log::system("Velquist: " + notice);
        if (m_tell)
            m_tell(notice);
    }
    if (m_quit)
        QMetaObject::invokeMethod(QCoreApplication::instance(), m_quit, Qt::QueuedConnection);
}

} // namespace velquist
