#include "App/Uninstaller.h"

#include "Core/SessionStore.h"
#include "Platform/LoginItem.h"
#include "Platform/Trash.h"
#include "Platform/UserDefaults.h"
#include "Shared/AppPaths.h"
#include "Shared/HookCleanup.h"
#include "Shared/Log.h"

#include <QCoreApplication>
#include <system_error>

namespace velquist {

Uninstaller::Uninstaller(SessionStore& store, UserDefaults& defaults, LoginItem& loginItem, Trash& trash,
                         std::vector<std::filesystem::path> ownFiles, std::function<void()> stopHookWriters,
                         std::function<void()> quit)
    : m_store(store), m_defaults(defaults), m_loginItem(loginItem), m_trash(trash),
      m_ownFiles(std::move(ownFiles)), m_stopHookWriters(std::move(stopHookWriters)), m_quit(std::move(quit))
{
}

void Uninstaller::removeEverything()
{
    // First, so that nothing puts our entries back behind the strip below.
    if (m_stopHookWriters)
        m_stopHookWriters();

    if (!HookCleanup::withLock([] { HookCleanup::stripAllConfigs(); })) {
        // Left in place, the entries would run a hook client that is about to be deleted on every
        // tool call of every agent. Each file's edit is still redone when someone else changed it
        // meanwhile, so stripping without the lock loses nothing of theirs.
        Log::debug("hooks", "hooks lock not taken; stripping without it");
        HookCleanup::stripAllConfigs();
    }

    if (auto removed = m_loginItem.disable(); !removed)
        Log::debug("cleanup", "login item: " + removed.error);

    std::error_code ec;
    std::filesystem::remove_all(AppPaths::appSupport(), ec);
    if (ec)
        Log::debug("cleanup", "support folder: " + ec.message());

    m_defaults.removePersistentDomain();

    // Not even the shutdown's save may bring the support folder back.
    m_store.disablePersistence();
    m_store.cancelPendingSave();

    for (const auto& file : m_ownFiles) {
        if (auto moved = m_trash.moveToTrash(file); !moved) {
            Log::system("Velquist: could not move the app to the Trash: " + moved.error);
            m_trash.reveal(file);
        }
    }
    if (m_quit)
        QMetaObject::invokeMethod(QCoreApplication::instance(), m_quit, Qt::QueuedConnection);
}

} // namespace velquist
