#pragma once

#include "Actions/ActionDispatcher.h"
#include "App/AppServices.h"
#include "App/Introduction.h"
#include "App/Uninstaller.h"
#include "Characters/CharacterCatalog.h"
#include "Core/PrivacyGuard.h"
#include "Core/SessionStore.h"
#include "Platform/PanelShaper.h"
#include "Sound/SoundPlayer.h"
#include "Sound/SoundSettings.h"
#include "Terminal/JumpRuleStore.h"

#include <QObject>
#include <QStringList>
#include <memory>

namespace velquist {

class ClaudeUsageProvider;
class CodexUsageProvider;
class FallbackDetector;
class AttentionCoordinator;
class GlanceWatcher;
class HookGateway;
class JumpController;
class NotchWindowManager;
class SessionRowFactory;
class ViewTicker;
class OpenCodeAdapter;
class UsageStore;
class SettingsWindow;
class TerminalApps;
class TerminalRebinder;
class UnservedSessionSweep;
class StatusItemController;

// Owns every long-lived service of the running application: builds, wires and starts them in
// order once the event loop exists, and stops them in order when the application quits. Main
// thread only. The single-instance check happens before this object is made, so a second copy
// never builds any of it.
class AppDelegate final : public QObject
{
    Q_OBJECT
  public:
    explicit AppDelegate(AppServices services, QObject* parent = nullptr);
    // Waits for background work that still uses the environment (the version probe).
    ~AppDelegate() override;

    // The start-up, once. `arguments` are the program's.
    void applicationDidFinishLaunching(const QStringList& arguments);
    // The shutdown: stops intake, then writes the sessions at once. Runs once, and only after a
    // start-up; later calls do nothing.
    void applicationWillTerminate();

    SessionStore& store() { return m_store; }
    ActionDispatcher& dispatcher() { return m_dispatcher; }
    // None before the start-up.
    HookGateway* gateway() const { return m_gateway.get(); }
    // None before the start-up, and when OpenCode's configuration folder does not exist.
    OpenCodeAdapter* openCodeAdapter() const { return m_openCode.get(); }
    // None without a process runner and a command lookup.
    UsageStore* usage() const { return m_usage.get(); }
    // For the settings window's removal of the application.
    Uninstaller& uninstaller() { return m_uninstaller; }
    // The platform objects, for the panels.
    const AppServices& services() const { return m_services; }
    SoundSettings& soundSettings() { return m_soundSettings; }
    SoundPlayer& soundPlayer() { return m_soundPlayer; }
    PrivacyGuard& privacy() { return m_privacy; }
    JumpRuleStore& jumpRules() { return m_jumpRules; }
    const CharacterCatalog& characters() const { return m_characters; }
    IntroDirector& intro() { return m_intro.director(); }
    // None before the start-up.
    AttentionCoordinator* coordinator() const { return m_coordinator.get(); }
    // None without a terminal binder, a process runner, a command lookup and tmux.
    JumpController* jumpController() const;
    // None before the start-up, and without a terminal binder.
    GlanceWatcher* glanceWatcher() const { return m_glance.get(); }
    // None before the start-up.
    NotchWindowManager* windowManager() const { return m_windowManager.get(); }
    // The settings window, made with its tabs' pages on first use and kept until the delegate goes.
    SettingsWindow& settingsWindow();
    // Shows the settings window, raised and focused, on the tab it was left at.
    void openSettings();
    // None before the start-up's last step.
    StatusItemController* statusItem() const { return m_statusItem.get(); }

  private:
    void startHookIntake();
    void startOpenCodeIntake();
    void startUnservedSweep();
    // Stops every service that could write our hooks back into the agents' files.
    void stopHookWriters();
    void startStatusItem();

    // The jump controller with the strategies and the pane focus it uses.
    struct TerminalJump;
    static std::unique_ptr<TerminalJump> makeTerminalJump(const AppServices& services,
                                                          const JumpRuleStore& rules);
    void startAttention();
    void startGlance();
    void startPanels();

    AppServices m_services;
    // The rules read "~" as the user's home folder.
    SilenceRuleStore m_silence;
    SessionStore m_store;
    SoundSettings m_soundSettings;
    PrivacyGuard m_privacy;
    JumpRuleStore m_jumpRules;
    // Made before the dispatcher, which plays its tap and jumps through them.
    SoundPlayer m_soundPlayer;
    std::unique_ptr<TerminalJump> m_jump;
    // Before the dispatcher, which sends it every answer on the demonstration session.
    Introduction m_intro;
    ActionDispatcher m_dispatcher;
    Uninstaller m_uninstaller;
    CharacterCatalog m_characters;
    std::unique_ptr<TerminalApps> m_terminalApps;
    std::unique_ptr<AttentionCoordinator> m_coordinator;
    std::unique_ptr<GlanceWatcher> m_glance;
    // Read by the panels, so it goes after them.
    std::unique_ptr<ClaudeUsageProvider> m_claudeUsage;
    std::unique_ptr<CodexUsageProvider> m_codexUsage;
    std::unique_ptr<UsageStore> m_usage;
    // The panels and what fills them; they go before the coordinator and the store they show.
    UnavailablePanelShaper m_noPanelShaper;
    std::unique_ptr<ViewTicker> m_ticker;
    std::unique_ptr<SessionRowFactory> m_rows;
    std::unique_ptr<NotchWindowManager> m_windowManager;
    std::unique_ptr<TerminalRebinder> m_rebinder;
    // Guards the version probe's late hook install; gone means the install is not wanted.
    std::unique_ptr<QObject> m_probeContext;
    std::unique_ptr<HookGateway> m_gateway;
    std::unique_ptr<OpenCodeAdapter> m_openCode;
    std::unique_ptr<FallbackDetector> m_fallbackDetector;
    std::unique_ptr<UnservedSessionSweep> m_unservedSweep;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<StatusItemController> m_statusItem;
    bool m_launched = false;
    bool m_terminated = false;
};

} // namespace velquist
