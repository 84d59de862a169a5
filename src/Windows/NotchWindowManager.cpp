#include "Windows/NotchWindowManager.h"

#include "Core/NotchViewModel.h"

#include "Core/SessionStore.h"
#include "Platform/PointerSource.h"
#include "Platform/UserDefaults.h"
#include "Platform/WindowSystem.h"
#include "UI/NotchContainerView.h"
#include "Windows/ClickedScreenTracker.h"
#include "Windows/FullScreenWatcher.h"
#include "Windows/NotchPanel.h"
#include "Windows/NotchPlacementResolver.h"
#include "Windows/NotchScreenController.h"

#include <QPointer>
#include <algorithm>

namespace velquist {
namespace {
constexpr const char* kDisplayMode = "displayMode";
constexpr const char* kHidesOverFullScreen = "hidesOverFullScreen";
} // namespace

NotchWindowManager::NotchWindowManager(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
    m_clicks = std::make_unique<ClickedScreenTracker>(
        m_services.panel.pointer, m_services.screens, [this] { applyPlacement(); },
        [this](QPoint position) { return ownsPoint(position); });
    m_fullScreen = std::make_unique<FullScreenWatcher>(
        m_services.windows, m_services.screens, [this] { applyPlacement(); }, m_services.workers);
}

NotchWindowManager::~NotchWindowManager()
{
    if (m_started) {
        m_services.screens.setChangeHandler({});
        m_services.panel.defaults.removeObserver(m_settingsObserver);
    }
    m_rebuild.cancel();
    m_clicks->stop();
    m_fullScreen->stop();
    m_controllers.clear();
}

void NotchWindowManager::start()
{
    if (m_started)
        return;
    m_started = true;
    m_needsAttention = m_services.panel.store.hasAttention();
    rebuild();
    m_services.screens.setChangeHandler([this] { scheduleRebuild(); });
    // Settings may change on another thread; the pass runs on ours, and only for our keys.
    QPointer<NotchWindowManager> self(this);
    m_settingsObserver = m_services.panel.defaults.addObserver([self](const std::string& key) {
        if (key != kDisplayMode && key != kHidesOverFullScreen)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self)
                    self->applyPlacement();
            },
            Qt::QueuedConnection);
    });
    connect(&m_services.panel.store, &SessionStore::sessionsChanged, this, &NotchWindowManager::noteSessions);
    connect(&m_services.windows, &WindowSystem::stackingChanged, this, &NotchWindowManager::raisePanels);
}

void NotchWindowManager::scheduleRebuild()
{
    // A burst of screen changes makes one rebuild, after the platform has settled its screens.
    if (m_rebuild.isActive())
        return;
    m_rebuild = ScheduledTimer(m_services.panel.scheduler,
                               m_services.panel.scheduler.schedule(std::chrono::milliseconds(0), [this] {
                                   m_rebuild = ScheduledTimer();
                                   rebuild();
                               }));
}

void NotchWindowManager::rebuild()
{
    std::vector<ScreenInfo> screens = m_services.screens.screens();
    if (m_services.migratePlacement) {
        std::vector<ScreenDescription> described;
        for (const ScreenInfo& screen : screens)
            described.push_back(ScreenDescription::from(screen));
        m_services.migratePlacement(described);
    }
    std::vector<AttachedScreen> attached;
    for (const ScreenInfo& screen : screens)
        attached.push_back({DisplayIdentity::idOrName(ScreenDescription::from(screen)), screen.geometry,
                            ScreenTopEdge::of(screen)});
    if (attached == m_attached) {
        applyPlacement();
        return;
    }
    m_attached = std::move(attached);
    m_controllers.clear();
    for (const ScreenInfo& screen : screens) {
        m_controllers.push_back(std::make_unique<NotchScreenController>(screen, screens, m_services.panel));
        NotchViewModel& model = m_controllers.back()->model();
        connect(&model, &NotchViewModel::presentationChanged, this, [this, &model] {
            if (model.presentation() == PanelPresentation::expanded)
                Q_EMIT panelOpened();
        });
    }
    if (m_fullScreen->isWatching())
        m_fullScreen->refresh();
    applyPlacement();
}

void NotchWindowManager::applyPlacement()
{
    const UserDefaults& defaults = m_services.panel.defaults;
    const NotchPlacement placement(defaults.stringValue(kDisplayMode));
    if (placement.kind == NotchPlacement::Kind::lastClicked)
        m_clicks->start();
    else
        m_clicks->stop();
    const bool hides = defaults.boolValue(kHidesOverFullScreen).value_or(false);
    if (hides)
        m_fullScreen->start();
    else
        m_fullScreen->stop();

    std::vector<ScreenFacts> facts;
    for (const auto& controller : m_controllers)
        facts.push_back({controller->screenID(), controller->isBuiltIn(),
                         m_fullScreen->coveredScreenIDs().contains(controller->screenID())});
    m_needsAttention = m_services.panel.store.hasAttention();
    // By position, so two screens sharing an id never both show.
    const auto shown = NotchPlacementResolver::activeScreens(facts, placement, m_clicks->screenID(), hides,
                                                             m_needsAttention);
    for (std::size_t index = 0; index < m_controllers.size(); ++index) {
        NotchScreenController& controller = *m_controllers[index];
        const bool show = std::find(shown.begin(), shown.end(), index) != shown.end();
        NotchPanel& panel = controller.panel();
        if (show == panel.isVisible())
            continue;
        if (show)
            panel.show();
        else
            panel.hide();
        controller.syncPointer();
    }
}

void NotchWindowManager::noteSessions()
{
    // Only a change of whether someone waits moves panels; other session updates do not.
    if (m_services.panel.store.hasAttention() != m_needsAttention)
        applyPlacement();
}

void NotchWindowManager::raisePanels()
{
    // Our panels are outside the window manager's stacking; a window raised over them is answered
    // by raising them again.
    for (const auto& controller : m_controllers) {
        if (controller->panel().isVisible())
            controller->panel().raise();
    }
}

bool NotchWindowManager::ownsPoint(QPoint position) const
{
    for (const auto& controller : m_controllers) {
        if (controller->panel().isVisible() && controller->visibleRect().contains(position))
            return true;
    }
    return false;
}

void NotchWindowManager::setHoldOpen(bool on)
{
    if (!on) {
        for (const auto& controller : m_controllers)
            controller->setHoldOpen(false);
        return;
    }
    NotchScreenController* chosen = nullptr;
    const auto pointer = m_services.panel.pointer.position();
    for (const auto& controller : m_controllers) {
        if (!controller->panel().isVisible())
            continue;
        if (!chosen)
            chosen = controller.get();
        if (pointer && controller->screenFrame().contains(*pointer)) {
            chosen = controller.get();
            break;
        }
    }
    if (chosen)
        chosen->setHoldOpen(true);
}

void NotchWindowManager::refreshUsage()
{
    for (const auto& controller : m_controllers)
        controller->content().refreshUsage();
}

} // namespace velquist
