#pragma once

#include "Actions/ActionDispatcher.h"
#include "App/AppServices.h"
#include "App/Uninstaller.h"
#include "Core/SessionStore.h"

#include <QObject>
#include <QStringList>
#include <memory>

namespace velquist {

class ClaudeUsageProvider;
class CodexUsageProvider;
class FallbackDetector;
class HookGateway;
class OpenCodeAdapter;
class UsageStore;

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

  private:
    void startHookIntake();
    void startOpenCodeIntake();
    // Stops every service that could write our hooks back into the agents' files.
    void stopHookWriters();

    AppServices m_services;
    SessionStore m_store;
    ActionDispatcher m_dispatcher;
    Uninstaller m_uninstaller;
    // Guards the version probe's late hook install; gone means the install is not wanted.
    std::unique_ptr<QObject> m_probeContext;
    std::unique_ptr<HookGateway> m_gateway;
    std::unique_ptr<OpenCodeAdapter> m_openCode;
    std::unique_ptr<FallbackDetector> m_fallbackDetector;
    std::unique_ptr<ClaudeUsageProvider> m_claudeUsage;
    std::unique_ptr<CodexUsageProvider> m_codexUsage;
    std::unique_ptr<UsageStore> m_usage;
    bool m_launched = false;
    bool m_terminated = false;
};

} // namespace velquist
