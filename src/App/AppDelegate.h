#pragma once

#include "Actions/ActionDispatcher.h"
#include "Core/SessionStore.h"
#include "Core/Uninstaller.h"

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace velquist {

class ClaudeUsageProvider;
class Clock;
class CodexUsageProvider;
class CommandLookup;
class FallbackDetector;
class FileWatcher;
class HookGateway;
class LoginItem;
class ProcessRunner;
class Scheduler;
class TerminalBinder;
class Trash;
class UsageStore;
class UserDefaults;

// Owns every long-lived service of the running application: builds, wires and starts them in
// order once the event loop exists, and stops them in order when the application quits. Main
// thread only. The single-instance check happens before this object is made, so a second copy
// never builds any of it.
class AppDelegate final : public QObject
{
    Q_OBJECT
  public:
    // What the running program hands in: time, settings and the platform's services. All must
    // outlive the delegate.
    struct Environment
    {
        Clock& clock;
        Scheduler& scheduler;
        UserDefaults& defaults;
        LoginItem& loginItem;
        Trash& trash;
        // Change notices for the transcript tailers.
        FileWatcher& transcriptWatcher;
        // Binds sessions to their terminal application; none leaves bindings as the hooks sent them.
        const TerminalBinder* terminalBinder = nullptr;
        // Child processes and the login shell's command search; without both there is no usage
        // reading.
        ProcessRunner* processRunner = nullptr;
        CommandLookup* commandLookup = nullptr;
        // The application's executable, recorded in "app-path" for the hook client.
        std::filesystem::path appPath;
        // The hook client shipped with the application, copied into the support folder.
        std::filesystem::path hookClient;
        // The files that make up the application, which uninstalling moves to the trash.
        std::vector<std::filesystem::path> ownFiles;
        // Ends the application through its normal shutdown.
        std::function<void()> quit;
    };

    explicit AppDelegate(Environment environment, QObject* parent = nullptr);
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
    // None without a process runner and a command lookup.
    UsageStore* usage() const { return m_usage.get(); }
    // For the settings window's removal of the application.
    Uninstaller& uninstaller() { return m_uninstaller; }

  private:
    void startHookIntake();
    // Stops every service that could write our hooks back into the agents' files.
    void stopHookWriters();

    Environment m_env;
    SessionStore m_store;
    ActionDispatcher m_dispatcher;
    Uninstaller m_uninstaller;
    // Guards the version probe's late hook install; gone means the install is not wanted.
    std::unique_ptr<QObject> m_probeContext;
    std::unique_ptr<HookGateway> m_gateway;
    std::unique_ptr<FallbackDetector> m_fallbackDetector;
    std::unique_ptr<ClaudeUsageProvider> m_claudeUsage;
    std::unique_ptr<CodexUsageProvider> m_codexUsage;
    std::unique_ptr<UsageStore> m_usage;
    bool m_launched = false;
    bool m_terminated = false;
};

} // namespace velquist
