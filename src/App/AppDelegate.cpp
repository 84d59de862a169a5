#include "App/AppDelegate.h"

#include "Core/LegacySupportMigration.h"
#include "Core/MockData.h"
#include "Ingestion/ClaudeVersionProbe.h"
#include "Ingestion/HookInstaller.h"
#include "Ingestion/HookProvisioner.h"
#include "Shared/AppPaths.h"
#include "Shared/HookCleanup.h"

#include <QThreadPool>

namespace velquist {

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_store(m_env.clock, m_env.scheduler),
      m_dispatcher(m_env.clock), m_uninstaller(
                                     m_dispatcher, m_env.defaults, m_env.loginItem, m_env.trash,
                                     m_env.ownFiles, [this] { stopHookWriters(); }, m_env.quit)
{
    // Sound settings, the privacy guard, the usage store and the jump rules join the store here
    // once they are built; none of them exists yet.
}

AppDelegate::~AppDelegate()
{
    m_probeContext.reset();
    // The probe's worker reads and writes the defaults, which go when the delegate has gone.
    QThreadPool::globalInstance()->waitForDone();
}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    if (m_launched)
        return;
    m_launched = true;

    // Before the saved sessions come back and before any alert is wired, so the demonstration
    // raises no alert and a saved session of the same id replaces its demonstration.
    if (arguments.contains(QStringLiteral("--mock-data")))
        MockData::populate(m_store, m_env.clock.now());

    LegacySupportMigration::run(LegacySupportMigration::legacyDirectory(), AppPaths::appSupport());
    // The hook client compares this with what exists, to clean up once the application is gone.
    HookCleanup::recordInstalledApp(m_env.appPath);

    // Before any adapter exists; failures are logged inside.
    HookProvisioner::apply(m_env.defaults, HookProvisioner::pathExists, m_env.hookClient);

    m_dispatcher.setStore(&m_store);
    m_store.restoreSessions();

    // Not built yet, and wired here in this order when they are: the attention coordinator with
    // its sound player and privacy guard, published in AppServices with the usage store and the
    // jump rules; the usage store's threshold callback and its start.

    // Claude Code's subagent events are hooked only once the installed version is known to send
    // them; searching its executable takes a while, so the answer comes in the background.
    m_probeContext = std::make_unique<QObject>();
    ClaudeVersionProbe::refreshInBackground(m_env.defaults, m_probeContext.get(), [this](bool anySupported) {
        if (anySupported)
            HookInstaller::installHooks(HookInstaller::claudeTarget(m_env.defaults));
    });

    // Not built yet: the sound settings and player join AppServices here, and the store's alert
    // callback goes to the attention coordinator.

    // The hook gateway with one adapter per agent found, and the socket, start here once the
    // adapters are built.

    // Not built yet, and started here in this order when they are: the OpenCode adapter (when
    // ~/.config/opencode exists), the fallback detector, the glance watcher with the store's
    // done-unread callback, the notch window manager, the introduction (unless
    // "IntroMoviePlayed" is set) and last the status item with the privacy guard's change callback.
}

void AppDelegate::stopHookWriters()
{
    m_probeContext.reset();
    // The adapters' hook healing stops here too once they exist.
}

void AppDelegate::applicationWillTerminate()
{
    // Without a start-up the store holds none of the saved sessions, and saving it would empty
    // the file.
    if (m_terminated || !m_launched)
        return;
    m_terminated = true;
    // The hook gateway stops first here once it exists: socket removed, held requests let go.
    // The OpenCode adapter, the fallback detector's timer and the glance watcher stop here once
    // they exist.
    m_store.cancelPendingSave();
    m_store.saveNow();
}

} // namespace velquist
