#pragma once

#include "Core/Scheduler.h"
#include "Platform/ScreenProvider.h"
#include "UI/NotchGeometry.h"
#include "Windows/DisplayIdentity.h"
#include "Windows/PanelServices.h"

#include <QObject>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QThreadPool;

namespace velquist {

class ClickedScreenTracker;
class FullScreenWatcher;
class NotchScreenController;
class WindowSystem;

// Owns one notch panel per attached screen and decides which of them are on screen: again whenever
// the screens, the placement settings ("displayMode", "hidesOverFullScreen"), the clicked screen,
// the covered screens or whether some session needs the user change. A change of the screens
// rebuilds every panel through one queued rebuild, and only when the layout really changed. Lives
// for the whole run. Main thread.
class NotchWindowManager final : public QObject
{
    Q_OBJECT
  public:
    struct Services
    {
        PanelServices panel;
        ScreenProvider& screens;
        WindowSystem& windows;
        // Rewrites a legacy placement for the screens attached now; unset: nothing to rewrite.
        std::function<void(const std::vector<ScreenDescription>&)> migratePlacement = {};
        // Where the full-screen windows are read (Qt's global pool when null).
        QThreadPool* workers = nullptr;
    };

    explicit NotchWindowManager(Services services, QObject* parent = nullptr);
    ~NotchWindowManager() override;

    // Builds the panels and starts following the screens, the settings and the attention state.
    // Once.
    void start();
    // Holds one visible panel open (the one under the pointer, else the first), or releases all.
    void setHoldOpen(bool on);
    // Shows the usage store's new reading in every panel.
    void refreshUsage();

    const std::vector<std::unique_ptr<NotchScreenController>>& controllers() const { return m_controllers; }
    const ClickedScreenTracker& clicks() const { return *m_clicks; }
    const FullScreenWatcher& fullScreen() const { return *m_fullScreen; }

  Q_SIGNALS:
    // A panel opened to show its sessions.
    void panelOpened();

  private:
    struct AttachedScreen
    {
        std::string id;
        QRect frame;
        ScreenTopEdge topEdge;
        bool operator==(const AttachedScreen&) const = default;
    };

    void scheduleRebuild();
    void rebuild();
    void applyPlacement();
    void noteSessions();
    void raisePanels();
    // Whether a point lies on the visible notch of one of our panels.
    bool ownsPoint(QPoint position) const;

    Services m_services;
    std::unique_ptr<ClickedScreenTracker> m_clicks;
    std::unique_ptr<FullScreenWatcher> m_fullScreen;
    std::vector<std::unique_ptr<NotchScreenController>> m_controllers;
    std::vector<AttachedScreen> m_attached;
    ScheduledTimer m_rebuild;
    int m_settingsObserver = 0;
    bool m_started = false;
    bool m_needsAttention = false;
};

} // namespace velquist
