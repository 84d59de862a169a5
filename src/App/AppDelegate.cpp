#include "App/AppDelegate.h"

#include "Adapters/AgentEngine.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/FallbackDetector.h"
#include "Adapters/HookAdapter.h"
#include "Adapters/HookGateway.h"
#include "Adapters/OpenCodeAdapter.h"
#include "Adapters/UnservedSessionSweep.h"
#include "App/IntroAgentScan.h"
#include "Attention/GlanceWatcher.h"
#include "Characters/CharacterLayer.h"
#include "Characters/VelquistMark.h"
#include "Core/AttentionCoordinator.h"
#include "Core/CommandLookup.h"
#include "Core/LegacySupportMigration.h"
#include "Core/MockData.h"
#include "Core/TerminalApps.h"
#include "Ingestion/ClaudeVersionProbe.h"
#include "Ingestion/HookInstaller.h"
#include "Ingestion/HookProvisioner.h"
#include "Platform/MotionPreference.h"
#include "Settings/AppSettings.h"
#include "Settings/FilterSettingsTab.h"
#include "Settings/GeneralSettingsTab.h"
#include "Settings/IntegrationSettingsTab.h"
#include "Settings/PrivacySettingsTab.h"
#include "Settings/SettingsWindow.h"
#include "Settings/SoundSettingsTab.h"
#include "Settings/UsageSettingsTab.h"
#include "Shared/AgentCatalog.h"
#include "Shared/AppPaths.h"
#include "Shared/HookCleanup.h"
#include "Shared/Log.h"
#include "Terminal/BinderTerminalApps.h"
#include "Terminal/JumpController.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "Terminal/TerminalRebinder.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/SessionRowFactory.h"
#include "UI/StatusItemController.h"
#include "UI/UsageRing.h"
#include "Usage/ClaudeUsageProvider.h"
#include "Usage/CodexUsageProvider.h"
#include "Usage/UsageStore.h"
#include "Windows/NotchWindowManager.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThreadPool>
#include <set>

namespace velquist {

namespace {

struct HookEngine
{
    AgentEngine engine;
    std::unique_ptr<const EngineProfile> profile;
};

// Claude Code always; the others when their configuration folder (or a file of that name) exists.
std::vector<HookEngine> hookEngines(const UserDefaults& defaults, const HomePaths& paths)
{
    std::vector<HookEngine> engines;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        if (!agent.alwaysHooked && !HookProvisioner::pathExists(agent.configDirectory(paths.home())))
            continue;
        if (auto profile = EngineProfile::forAgent(agent, paths, defaults))
            engines.push_back(HookEngine{AgentEngine::of(agent), std::move(profile)});
    }
    return engines;
}

} // namespace

struct AppDelegate::TerminalJump
{
    TerminalJump(const AppServices& services, const TerminalBinder& binder, ProcessRunner& runner,
                 CommandLookup& lookup, Tmux& tmux)
        : multiplexer(tmux), strategies(TerminalTools{runner, services.windows, services.urls,
                                                      [&lookup](const std::string& name, const RunningApp&) {
                                                          return lookup.find(name);
                                                      }}),
          controller({binder, services.windows, multiplexer, strategies, services.urls, services.scheduler})
    {
    }

    MultiplexerFocus multiplexer;
    TerminalFocusRegistry strategies;
    JumpController controller;
};

std::unique_ptr<AppDelegate::TerminalJump> AppDelegate::makeTerminalJump(const AppServices& services,
                                                                         const JumpRuleStore& rules)
{
    if (!services.terminalBinder || !services.processRunner || !services.commandLookup || !services.tmux)
        return nullptr;
    auto jump = std::make_unique<TerminalJump>(services, *services.terminalBinder, *services.processRunner,
                                               *services.commandLookup, *services.tmux);
    jump->controller.setRules(&rules);
    return jump;
}

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)),
      m_silence(m_services.paths.silenceRulesFile(), m_services.paths.home()),
      m_store(m_services.clock, m_services.scheduler, m_services.paths.sessionsFile(), &m_silence,
              &m_services.workers),
      m_soundSettings(m_services.defaults, m_services.clock),
      m_privacy(m_services.defaults, m_services.mirroring), m_jumpRules(m_services.defaults),
      m_soundPlayer(m_soundSettings, m_services.soundOutput, m_services.resources / "sounds"),
      m_jump(makeTerminalJump(m_services, m_jumpRules)), m_intro(m_services, m_store, m_soundPlayer),
      m_dispatcher(m_services.clock, {.tapSound = &m_soundPlayer,
                                      .intro = &m_intro.director(),
                                      .jumper = m_jump ? &m_jump->controller : nullptr}),
      m_uninstaller(
          m_services.paths, m_store, m_services.defaults, m_services.loginItem, m_services.trash,
          m_services.ownFiles, [this] { stopHookWriters(); }, m_services.quit,
          [](const std::string& notice) {
              QMessageBox::information(nullptr, QStringLiteral("Remove Velquist"),
                                       QString::fromStdString(notice));
          }),
      m_characters(CharacterCatalog::bundledDirectory(m_services.resources), &m_services.workers)
{
    if (m_services.processRunner && m_services.commandLookup) {
        ProcessRunner& runner = *m_services.processRunner;
        CommandLookup& lookup = *m_services.commandLookup;
        ClaudeUsageProvider::Options claude;
        claude.credentialsFile = m_services.paths.claudeCredentials();
        claude.globalConfigFile = m_services.paths.claudeGlobalConfig();
        claude.claudeVersion = [&runner, &lookup] { return ClaudeVersionProbe::version(runner, lookup); };
        claude.workers = &m_services.workers;
        if (m_services.claudeUsageURL)
            claude.usageURL = *m_services.claudeUsageURL;
        m_claudeUsage =
            std::make_unique<ClaudeUsageProvider>(m_services.clock, m_services.scheduler, std::move(claude));
        CodexUsageProvider::Options codex;
        codex.workers = &m_services.workers;
        m_codexUsage =
            std::make_unique<CodexUsageProvider>(m_services.clock, runner, lookup, std::move(codex));
        m_usage = std::make_unique<UsageStore>(m_services.clock, m_services.scheduler, m_services.defaults,
                                               *m_claudeUsage, *m_codexUsage);
    }
    m_soundPlayer.setPrivacy(&m_privacy);
}

AppDelegate::~AppDelegate()
{
    // A worker waiting on a compositor that stopped answering must not hold up the exit.
    m_services.windows.abandonQueries();
    m_probeContext.reset();
    if (m_gateway)
        m_gateway->stop();
    // The probe's worker reads and writes the defaults, which go when the delegate has gone.
    m_services.workers.clear();
    m_services.workers.waitForDone();
    QThreadPool::globalInstance()->waitForDone();
}

JumpController* AppDelegate::jumpController() const
{
    return m_jump ? &m_jump->controller : nullptr;
}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    if (m_launched)
        return;
    m_launched = true;

    // Before the saved sessions come back and before any alert is wired, so the demonstration
    // raises no alert and a saved session of the same id replaces its demonstration.
    if (arguments.contains(QStringLiteral("--mock-data")))
        MockData::populate(m_store, m_services.clock.now());

    LegacySupportMigration::run(m_services.paths.legacySupport(), m_services.paths.support());
    // The rules were read when the store was made, before the migration could bring them.
    m_store.silence().reload();
    // The hook client compares this with what exists, to clean up once the application is gone.
    HookCleanup::recordInstalledApp(m_services.paths, m_services.appPath);

    // The tour names an agent by its folder only when the folder was the user's, not ours.
    IntroAgentScan::recordFoldersBeforeFirstLaunch(m_services.paths, m_services.defaults);
    // Before any adapter exists; failures are logged inside.
    HookProvisioner::apply(m_services.paths, m_services.defaults, HookProvisioner::pathExists,
                           m_services.hookClient);

    m_store.restoreSessions();

    startAttention();

    if (m_usage) {
        // A warning held back (a snooze, a locked screen, privacy) is offered again by the store.
        m_usage->onThresholdCrossed = [this](const QuotaWindow& window) {
            return m_coordinator->announceUsageWarning(window.id);
        };
        m_usage->start();
    }

    // Claude Code's subagent events are hooked only once the installed version is known to send
    // them; searching its executable takes a while, so the answer comes in the background.
    m_probeContext = std::make_unique<QObject>();
    ClaudeVersionProbe::refreshInBackground(
        m_services.paths.home(), m_services.defaults, m_probeContext.get(), [this](bool anySupported) {
            if (anySupported)
                HookInstaller::installHooks(
                    HookInstaller::claudeTarget(m_services.paths, m_services.defaults));
        });

    // After the restore, so the saved sessions raise no alert.
    connect(&m_store, &SessionStore::alertRaised, m_coordinator.get(), &AttentionCoordinator::handleAlert);

    startHookIntake();
    startOpenCodeIntake();
    startUnservedSweep();

    m_fallbackDetector = std::make_unique<FallbackDetector>(
        m_store, FallbackDetector::Services{.clock = m_services.clock,
                                            .scheduler = m_services.scheduler,
                                            .terminalBinder = m_services.terminalBinder,
                                            .workers = &m_services.workers});
    m_fallbackDetector->start();

    startGlance();
    startPanels();

    // Offered at each launch until one tour has been played to its end or skipped; while it plays it
    // holds a panel open.
    m_intro.director().setOnHold([this](bool on) {
        if (m_windowManager)
            m_windowManager->setHoldOpen(on);
    });
    m_intro.startIfNotPlayed();

    startStatusItem();
}

void AppDelegate::startPanels()
{
    m_ticker = std::make_unique<ViewTicker>(m_services.scheduler, m_services.clock);
    m_rows = std::make_unique<SessionRowFactory>(SessionRowContext{
        m_dispatcher, m_store, *m_ticker,
        [this](const Session& session, std::function<void()> noTerminal) {
            if (JumpController* jump = jumpController())
                jump->focus(
                    session, [](bool) {}, std::move(noTerminal));
        },
        m_coordinator.get(), &m_services.focusReturn,
        [this] { return m_services.motion && m_services.motion->reducesMotion(); }, &m_intro.director()});
    PanelServices panels{.store = m_store,
                         .coordinator = *m_coordinator,
                         .privacy = &m_privacy,
                         .defaults = m_services.defaults,
                         .clock = m_services.clock,
                         .scheduler = m_services.scheduler,
                         .pointer = m_services.pointer,
                         .shaper = m_services.panelShaper ? *m_services.panelShaper : m_noPanelShaper,
                         .rows = *m_rows};
    panels.introIsPlaying = [this] { return m_store.introIsRunning(); };
    if (m_usage) {
        panels.usage = [this]() -> std::optional<UsageReading> { return m_usage->reading(); };
        panels.hasUsageWindow = [this] { return UsageRing::window(m_usage->reading()).has_value(); };
    }
    panels.makeCharacterLayer = [this](int barHeight) -> QWidget* {
        return new CharacterLayer(m_store, m_services.defaults, m_characters, m_services.clock,
                                  m_services.scheduler, barHeight);
    };
    m_windowManager = std::make_unique<NotchWindowManager>(
        NotchWindowManager::Services{panels, m_services.screens, m_services.windows,
                                     [this](const std::vector<ScreenDescription>& screens) {
                                         AppSettings::migratePlacement(screens, m_services.defaults);
                                     },
                                     &m_services.workers});
    if (m_services.terminalBinder) {
        // A tmux client may attach after the agent's last event: its terminal is looked for again
        // when the sessions are shown or one is jumped to.
        m_rebinder =
            std::make_unique<TerminalRebinder>(m_store, *m_services.terminalBinder, &m_services.workers);
        connect(m_windowManager.get(), &NotchWindowManager::panelOpened, m_rebinder.get(),
                &TerminalRebinder::lookUpAll);
        if (JumpController* jump = jumpController())
            connect(jump, &JumpController::jumpStarted, m_rebinder.get(), &TerminalRebinder::lookUp);
    }
    m_windowManager->start();
    if (m_usage)
        connect(m_usage.get(), &UsageStore::readingChanged, m_windowManager.get(),
                &NotchWindowManager::refreshUsage);
}

void AppDelegate::startAttention()
{
    if (m_services.terminalBinder)
        m_terminalApps = std::make_unique<BinderTerminalApps>(*m_services.terminalBinder);
    else
        m_terminalApps = std::make_unique<NoTerminalApps>();
    m_coordinator = std::make_unique<AttentionCoordinator>(
        m_store, m_services.defaults, m_services.clock, m_services.scheduler,
        AttentionCoordinator::Probes{m_services.idle, m_services.screenLock, m_services.frontmost,
                                     *m_terminalApps});
    m_coordinator->setSound(&m_soundPlayer);
    m_coordinator->setPrivacy(&m_privacy);
}

void AppDelegate::startGlance()
{
    if (!m_services.terminalBinder)
        return;
    m_glance = std::make_unique<GlanceWatcher>(
        GlanceWatcher::Services{m_store, *m_services.terminalBinder, m_services.windows, m_services.scheduler,
                                m_services.clock, &m_services.workers});
    m_glance->start();
    connect(&m_store, &SessionStore::doneUnread, m_glance.get(), &GlanceWatcher::reevaluate);
}

void AppDelegate::startHookIntake()
{
    m_gateway =
        std::make_unique<HookGateway>(m_services.scheduler, m_services.clock, m_services.paths.socketPath());
    std::vector<HookAdapter*> adapters;
    for (auto& [engine, profile] : hookEngines(m_services.defaults, m_services.paths)) {
        std::optional<ContextLimits> contextLimits;
        if (engine.kind == AgentKind::claudeCode)
            contextLimits.emplace(m_services.paths.claudeSettings());
        auto adapter = std::make_unique<HookAdapter>(
            m_store, engine, std::move(profile),
            HookAdapter::Services{m_services.clock, m_services.scheduler, m_services.transcriptWatcher,
                                  m_dispatcher, m_services.terminalBinder, &m_services.workers,
                                  std::move(contextLimits)});
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

void AppDelegate::startOpenCodeIntake()
{
    if (!HookProvisioner::pathExists(m_services.paths.opencodeConfigDirectory()))
        return;
    m_openCode = std::make_unique<OpenCodeAdapter>(
        m_store, OpenCodeAdapter::Services{m_services.clock,
                                           m_services.scheduler,
                                           m_dispatcher,
                                           m_services.terminalBinder,
                                           m_services.paths.claudeSettings(),
                                           {},
                                           &m_services.workers});
    m_openCode->start();
}

// Restored sessions of an agent that is not followed in this run are swept all the same.
void AppDelegate::startUnservedSweep()
{
    std::set<std::string> served;
    for (const auto& [engine, adapter] : m_gateway->adapters())
        served.insert(engine);
    if (m_openCode)
        served.insert("opencode");
    m_unservedSweep = std::make_unique<UnservedSessionSweep>(m_store, m_services.clock, m_services.scheduler,
                                                             std::move(served));
    m_unservedSweep->start();
}

SettingsWindow& AppDelegate::settingsWindow()
{
    if (m_settingsWindow)
        return *m_settingsWindow;
    m_settingsWindow = std::make_unique<SettingsWindow>(SettingsTab::general);
    // Each tab's page is installed here, from the services it edits, as its code is wired. A page
    // built before the start-up has published its service says so instead of showing controls.
    m_settingsWindow->setPageFactory(SettingsTab::sounds, [this] {
        return m_launched ? new SoundSettingsTab(&m_soundSettings, &m_soundPlayer)
                          : new SoundSettingsTab(nullptr, nullptr);
    });
    m_settingsWindow->setPageFactory(SettingsTab::privacy, [this] {
        return new PrivacySettingsTab(m_launched ? &m_privacy : nullptr, m_coordinator.get());
    });
    m_settingsWindow->setPageFactory(
        SettingsTab::filters, [this] { return new FilterSettingsTab(m_launched ? &m_store : nullptr); });
    m_settingsWindow->setPageFactory(SettingsTab::usage, [this] {
        return new UsageSettingsTab(m_launched ? m_usage.get() : nullptr, m_services.clock);
    });
    m_settingsWindow->setPageFactory(SettingsTab::general, [this] {
        return new GeneralSettingsTab({m_services.defaults, m_services.loginItem, m_services.screens,
                                       m_characters.packs(), [this] { m_uninstaller.removeEverything(); }});
    });
    m_settingsWindow->setPageFactory(SettingsTab::integrations, [this] {
        std::vector<InstalledApp> terminals;
        if (m_services.terminalBinder)
            terminals = m_services.terminalBinder->registry().installedTerminals();
        return new IntegrationSettingsTab({m_services.defaults, m_services.paths, m_services.windows,
                                           m_launched ? &m_jumpRules : nullptr, m_services.scheduler,
                                           std::move(terminals)});
    });
    if (m_statusItem)
        m_statusItem->attachMenu(*m_settingsWindow);
    return *m_settingsWindow;
}

void AppDelegate::openSettings()
{
    settingsWindow().present();
}

void AppDelegate::startStatusItem()
{
    StatusItemController::Services services;
    // White until the tray is known to be light: trays sit on dark panels more often.
    services.icon = VelquistMark::trayIcon(Palette::trayMark());
    services.lightTrayIcon = VelquistMark::trayIcon(Palette::trayMarkOnLight());
    services.replayIntro = [this] { m_intro.director().start(); };
    services.privacy = &m_privacy;
    services.coordinator = m_coordinator.get();
    services.windowAccess = [this] { return m_services.windows.canActivateWindows(); };
    services.claudeTarget = [this] {
        return HookInstaller::claudeTarget(m_services.paths, m_services.defaults);
    };
    services.openSettings = [this] { openSettings(); };
    services.quit = m_services.quit;
    services.version = QCoreApplication::applicationVersion();
    m_statusItem = std::make_unique<StatusItemController>(std::move(services), m_services.scheduler,
                                                          m_services.screenGrabber);
    if (m_settingsWindow)
        m_statusItem->attachMenu(*m_settingsWindow);
    connect(&m_privacy, &PrivacyGuard::changed, m_statusItem.get(),
            &StatusItemController::refreshPrivacyItem);
    m_statusItem->refreshPrivacyItem();
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
    // The store's saves run on the workers: the one still queued is written now, before the
    // queue is cleared. Other work queued but not started is of no use once the application
    // goes, and draining a backlog of it would hold up the exit.
    m_store.flushSaves();
    m_services.workers.clear();
    if (m_gateway)
        m_gateway->stop();
    if (m_openCode)
        m_openCode->stop();
    if (m_fallbackDetector)
        m_fallbackDetector->stop();
    if (m_unservedSweep)
        m_unservedSweep->stop();
    if (m_glance)
        m_glance->stop();
    if (m_statusItem)
        m_statusItem->stopTrayLooks();
    // A tour cut short is offered again at the next launch; its demonstration is never saved.
    m_intro.director().shutDown();
    m_store.cancelPendingSave();
    m_store.saveNow();
}

} // namespace velquist
