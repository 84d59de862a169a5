#pragma once

#include "Actions/ActionDispatcher.h"
#include "App/AppServices.h"
#include "App/Uninstaller.h"
#include "Core/SessionStore.h"

#include <QObject>
#include <QStringList>
#include <memory>

namespace velquist {

class HookGateway;
class OpenCodeAdapter;
class SettingsWindow;
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
    // For the settings window's removal of the application.
    Uninstaller& uninstaller() { return m_uninstaller; }
    // The settings window, made with its tabs' pages on first use and kept until the delegate goes.
    SettingsWindow& settingsWindow();
    // Shows the settings window, raised and focused, on the tab it was left at.
    void openSettings();
    // None before the start-up's last step.
    StatusItemController* statusItem() const { return m_statusItem.get(); }

  private:
    void startHookIntake();
    void startOpenCodeIntake();
    // Stops every service that could write our hooks back into the agents' files.
    void stopHookWriters();
    void startStatusItem();

    AppServices m_services;
    SessionStore m_store;
    ActionDispatcher m_dispatcher;
    Uninstaller m_uninstaller;
    // Guards the version probe's late hook install; gone means the install is not wanted.
    std::unique_ptr<QObject> m_probeContext;
    std::unique_ptr<HookGateway> m_gateway;
    std::unique_ptr<OpenCodeAdapter> m_openCode;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<StatusItemController> m_statusItem;
    bool m_launched = false;
    bool m_terminated = false;
};

} // namespace velquist
