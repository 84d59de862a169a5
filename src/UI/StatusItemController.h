#pragma once

#include "Core/Scheduler.h"
#include "Ingestion/HookInstaller.h"

#include <QColor>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMessageBox;
class QSystemTrayIcon;
class QWidget;

namespace velquist {

class AttentionCoordinator;
class PrivacyGuard;
class ScreenGrabber;

// The application's one permanent piece of interface outside the notch: a tray icon whose menu
// reaches hook installation, the window-access check, the introduction, privacy mode, the settings
// window and Quit. On a desktop without a tray host the same menu sits in the settings window's
// menu bar instead (attachMenu), and the settings window is reached by starting the application
// again. Lives
// from the end of start-up until the process ends. Main thread.
class StatusItemController final : public QObject
{
    Q_OBJECT
  public:
    struct Services
    {
        // The menu icon for a dark tray, and the one for a light tray (none: `icon` there too);
        // either is shown dimmed while privacy mode is on.
        QIcon icon;
        QIcon lightTrayIcon;
        // Either may be none: the actions that need it then do nothing.
        PrivacyGuard* privacy = nullptr;
        AttentionCoordinator* coordinator = nullptr;
        // Claude Code's hook installation, worked out when the item is chosen.
        std::function<HookInstallTarget()> claudeTarget;
        // Whether this desktop lets us see and raise other applications' windows.
        std::function<bool()> windowAccess;
        // Starts the introduction again; none while there is no introduction.
        std::function<void()> replayIntro;
        // Shows the settings window, raised and focused.
        std::function<void()> openSettings;
        // Ends the application through its normal shutdown.
        std::function<void()> quit;
        // Whether a tray host can show the icon; the desktop's answer when none.
        std::function<bool()> trayAvailable;
        // The version in the menu's first line; "dev" when empty.
        QString version;
    };

    // The tray is looked at again on `scheduler` while it settles, reading its background from
    // `screen` around the embedded icon; both must outlive the controller.
    StatusItemController(Services services, Scheduler& scheduler, const ScreenGrabber& screen,
                         QObject* parent = nullptr);
    ~StatusItemController() override;

    // Check mark, title and the dimmed icon follow the privacy guard.
    void refreshPrivacyItem();

    void installHooks();
    void requestAccessibility();
    void replayIntro();
    void togglePrivacy();
    void openSettings();
    // Without a tray host, gives `window` a menu bar holding this menu, so everything the menu
    // reaches (Quit among it) stays within reach; with a tray it does nothing. Once per window.
    void attachMenu(QWidget& window);

    QMenu& menu() { return m_menu; }
    QAction* privacyItem() const { return m_privacyItem; }
    QSystemTrayIcon& trayIcon() { return *m_tray; }
    // Whether a tray host showed the icon at start-up; otherwise the menu lives in the settings window.
    bool hasTray() const { return m_hasTray; }

    // Looks at the tray again and picks the icon drawn for its background.
    void refreshTrayColours();
    // Drops the looks still due while the tray settles (at shutdown, so nothing of ours stays
    // scheduled); the icon keeps the ink it has.
    void stopTrayLooks();
    // Trays this light take the dark icon.
    static bool isLightTray(const QColor& background);
    // How much of the icon shows while privacy mode is on.
    static constexpr double kDimmedOpacity = 0.35;
    // "Velquist 1.4.2", or "Velquist dev" without a version.
    static QString versionLine(const QString& version);

  Q_SIGNALS:
    // A modal alert is about to run (tests answer it from here).
    void alertShown(QMessageBox* alert);

  private:
    void buildMenu();
    void refreshIcon();
    // The colour the tray paints around the icon; none while unknown.
    std::optional<QColor> sampleTrayBackground() const;
    // Runs a modal alert raised above every other window; returns the button chosen.
    int runAlert(QMessageBox& alert);

    Services m_services;
    const ScreenGrabber& m_screen;
    std::vector<ScheduledTimer> m_trayLooks;
    QMenu m_menu;
    QAction* m_privacyItem = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_hasTray = false;
    bool m_privacyDimmed = false;
    bool m_lightTray = false;
};

} // namespace velquist
