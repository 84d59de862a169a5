#include "App/AppDelegate.h"

#include "Adapters/AgentEngine.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/FallbackDetector.h"
#include "Adapters/HookAdapter.h"
#include "Core/LegacySupportMigration.h"
#include "Core/MockData.h"
#include "Ingestion/ClaudeVersionProbe.h"
#include "Ingestion/HookGateway.h"
#include "Ingestion/HookInstaller.h"
#include "Ingestion/HookProvisioner.h"
#include "Shared/AppPaths.h"
#include "Shared/HookCleanup.h"
#include "Shared/Log.h"
#include "Usage/ClaudeUsageProvider.h"
#include "Usage/CodexUsageProvider.h"
#include "Usage/UsageStore.h"

#include <QThreadPool>

namespace velquist {

namespace {

struct HookEngine
{
    AgentEngine engine;
    std::unique_ptr<const EngineProfile> profile;
};

AgentEngine describe(AgentKind kind, std::string displayName, std::string idNamespace)
{
    return AgentEngine{kind, std::move(displayName), AgentMechanism::blockingHook,
                       AgentCapabilities::of(kind), std::move(idNamespace)};
}

// Claude Code always; the others when their configuration folder (or a file of that name) exists.
std::vector<HookEngine> hookEngines(const UserDefaults& defaults)
{
    std::vector<HookEngine> engines;
    engines.push_back({describe(AgentKind::claudeCode, "Claude", "claude"),
                       std::make_unique<ClaudeEngineProfile>(defaults)});
    if (HookProvisioner::pathExists(AppPaths::codexDirectory()))
        engines.push_back(
            {describe(AgentKind::codex, "Codex", "codex"), std::make_unique<CodexEngineProfile>()});
    if (HookProvisioner::pathExists(AppPaths::cursorDirectory()))
        engines.push_back(
            {describe(AgentKind::cursor, "Cursor", "cursor"), std::make_unique<CursorEngineProfile>()});
    if (HookProvisioner::pathExists(AppPaths::geminiDirectory()))
        engines.push_back(
            {describe(AgentKind::gemini, "Gemini", "gemini"), std::make_unique<GeminiEngineProfile>()});
    if (HookProvisioner::pathExists(AppPaths::qwenDirectory()))
        engines.push_back({describe(AgentKind::qwen, "Qwen", "qwen"), std::make_unique<QwenEngineProfile>()});
    return engines;
}

} // namespace

AppDelegate::AppDelegate(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_store(m_env.clock, m_env.scheduler),
      m_dispatcher(m_env.clock), m_uninstaller(
                                     m_dispatcher, m_env.defaults, m_env.loginItem, m_env.trash,
                                     m_env.ownFiles, [this] { stopHookWriters(); }, m_env.quit)
{
    if (m_env.processRunner && m_env.commandLookup) {
        ProcessRunner& runner = *m_env.processRunner;
        CommandLookup& lookup = *m_env.commandLookup;
        ClaudeUsageProvider::Options claude;
        claude.credentialsFile = AppPaths::home() / ".claude" / ".credentials.json";
        claude.globalConfigFile = AppPaths::home() / ".claude.json";
        claude.claudeVersion = [&runner, &lookup] { return ClaudeVersionProbe::version(runner, lookup); };
        m_claudeUsage =
            std::make_unique<ClaudeUsageProvider>(m_env.clock, m_env.scheduler, std::move(claude));
        m_codexUsage =
            std::make_unique<CodexUsageProvider>(m_env.clock, runner, lookup, CodexUsageProvider::Options{});
        m_usage = std::make_unique<UsageStore>(m_env.clock, m_env.scheduler, m_env.defaults, *m_claudeUsage,
                                               *m_codexUsage);
    }
    // Sound settings, the privacy guard and the jump rules join the store here once they are
    // built; none of them exists yet.
}

AppDelegate::~AppDelegate()
{
    m_probeContext.reset();
    if (m_gateway)
        m_gateway->stop();
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
    // jump rules; the usage store's threshold callback to the coordinator's usage warning.
    if (m_usage)
        m_usage->start();

    // Claude Code's subagent events are hooked only once the installed version is known to send
    // them; searching its executable takes a while, so the answer comes in the background.
    m_probeContext = std::make_unique<QObject>();
    ClaudeVersionProbe::refreshInBackground(m_env.defaults, m_probeContext.get(), [this](bool anySupported) {
        if (anySupported)
            HookInstaller::installHooks(HookInstaller::claudeTarget(m_env.defaults));
    });

    // Not built yet: the sound settings and player join AppServices here, and the store's alert
    // callback goes to the attention coordinator.

    startHookIntake();

    // Not built yet: the OpenCode adapter (when ~/.config/opencode exists) starts here.
    m_fallbackDetector = std::make_unique<FallbackDetector>(
        m_store, FallbackDetector::Services{m_env.clock, m_env.scheduler, m_env.terminalBinder});
    m_fallbackDetector->start();

    // Not built yet, and started here in this order when they are: the glance watcher with the
    // store's done-unread callback, the notch window manager, the introduction (unless
    // "IntroMoviePlayed" is set) and last the status item with the privacy guard's change callback.
}

void AppDelegate::startHookIntake()
{
    m_gateway = std::make_unique<HookGateway>(m_env.scheduler);
    std::vector<HookAdapter*> adapters;
    for (auto& [engine, profile] : hookEngines(m_env.defaults)) {
        auto adapter = std::make_unique<HookAdapter>(
            m_store, engine, std::move(profile),
            HookAdapter::Services{m_env.clock, m_env.scheduler, m_env.transcriptWatcher, m_dispatcher,
                                  m_env.terminalBinder});
        adapter->start();
        adapters.push_back(&m_gateway->addAdapter(std::move(adapter)));
    }
    try {
        m_gateway->start();
    } catch (const std::exception& error) {
        // The adapters stay: restored sessions still resume, and hook clients find no socket and
        // fall back on the agents' own prompts.
        Log::system(std::string("Velquist: hook server failed to start: ") + error.what());
    }
    for (HookAdapter* adapter : adapters)
        adapter->resumeRestoredSessions();
}

void AppDelegate::stopHookWriters()
{
    m_probeContext.reset();
    if (m_gateway)
        m_gateway->stop();
}

void AppDelegate::applicationWillTerminate()
{
    // Without a start-up the store holds none of the saved sessions, and saving it would empty
    // the file.
    if (m_terminated || !m_launched)
        return;
    m_terminated = true;
    if (m_gateway)
        m_gateway->stop();
    // The OpenCode adapter stops here once it exists, and the glance watcher after the detector.
    if (m_fallbackDetector)
        m_fallbackDetector->stop();
    m_store.cancelPendingSave();
    m_store.saveNow();
}

} // namespace velquist
