#include "Core/NotchViewModel.h"

#include "Core/AgentGrouping.h"
#include "Core/AttentionCoordinator.h"
#include "Core/PrivacyGuard.h"
#include "Core/SessionStore.h"
#include "Platform/UserDefaults.h"
#include "Shared/Log.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace velquist {

namespace {
constexpr const char* triggerKey = "expandTrigger";
constexpr const char* characterKey = "selectedCharacterId";
constexpr const char* hidesWhenIdleKey = "hidesWhenIdle";
} // namespace

NotchViewModel::NotchViewModel(BarMetrics metrics, SessionStore& store, AttentionCoordinator& coordinator,
                               const PrivacyGuard* privacy, UserDefaults& defaults, Scheduler& scheduler,
                               std::function<bool()> hasUsageWindow, QObject* parent)
    : QObject(parent), m_metrics(metrics), m_store(store), m_coordinator(coordinator), m_privacy(privacy),
      m_defaults(defaults), m_scheduler(scheduler), m_hasUsageWindow(std::move(hasUsageWindow)),
      m_cards(store)
{
    // Everything the two derived values read tells this model, which tells its observers only when
    // a value really moved.
    connect(&m_coordinator, &AttentionCoordinator::desiredPresentationChanged, this,
            &NotchViewModel::recompute);
    connect(&m_coordinator, &AttentionCoordinator::textEntryActiveChanged, this, &NotchViewModel::recompute);
    connect(&m_coordinator, &AttentionCoordinator::snoozedUntilChanged, this, &NotchViewModel::recompute);
    connect(&m_store, &SessionStore::sessionsChanged, this, &NotchViewModel::noteSessions);
    connect(&m_store, &SessionStore::introIsRunningChanged, this, &NotchViewModel::noteSessions);
    if (privacy)
        connect(privacy, &PrivacyGuard::stateChanged, this, &NotchViewModel::recompute);
    QPointer<NotchViewModel> self(this);
    m_defaultsObserver = m_defaults.addObserver([self](const std::string& key) {
        if (key != triggerKey && key != characterKey && key != hidesWhenIdleKey)
            return;
        // Settings may change on another thread; the model is read on the main thread only.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self)
                    self->recompute();
            },
            Qt::AutoConnection);
    });
    m_barSummary = summarize();
    m_lastPresentation = presentation();
    m_lastWidth = collapsedWidth();
    m_lastConcealed = isBarConcealed();
}

NotchViewModel::~NotchViewModel()
{
    m_defaults.removeObserver(m_defaultsObserver);
}

NotchViewModel::ExpandTrigger NotchViewModel::expandTrigger() const
{
    return m_defaults.stringValue(triggerKey) == "click" ? ExpandTrigger::click : ExpandTrigger::hover;
}

// Privacy beats every override; with the click trigger hovering alone never opens the panel.
PanelPresentation NotchViewModel::presentation() const
{
    if (m_privacy && m_privacy->isActive())
        return PanelPresentation::collapsed;
    if (m_holdOpen || m_coordinator.isTextEntryActive())
        return PanelPresentation::expanded;
    const bool open = expandTrigger() == ExpandTrigger::click ? m_isClickOpen : m_isHovering;
    return open ? PanelPresentation::expanded : m_coordinator.desiredPresentation();
}

double NotchViewModel::collapsedWidth() const
{
    const double icon = std::min(std::max(m_metrics.barHeight - 6, 13.0), 20.0);
    const auto groups = static_cast<double>(m_barSummary.groups.size());
    const double left = groups > 0 ? groups * icon + 9 * (groups - 1) + 14 + 5 : 0;
    const bool snoozed = isSnoozed();
    const bool item = hasRightWingItem();
    const double content = (snoozed ? 10 : 0) + (item ? m_metrics.barHeight : 0) + (snoozed && item ? 5 : 0);
    const double right = content > 0 ? content + 14 : 0;
    const double half = std::max({left, right, 0.0});
    return m_metrics.centerGapWidth + 2 * std::min(m_metrics.wingWidth, half);
}

bool NotchViewModel::isBarConcealed(bool hideWhenIdle) const
{
    return hideWhenIdle && presentation() == PanelPresentation::collapsed && !m_isHovering &&
           m_store.displaySummary().asking == 0;
}

std::optional<Session> NotchViewModel::peekSession() const
{
    return m_store.attentionSession();
}

bool NotchViewModel::isBarConcealed() const
{
    return isBarConcealed(m_defaults.boolValue(hidesWhenIdleKey).value_or(false));
}

// The same rule the collapsed bar uses to pick its right-wing view: the usage ring when chosen
// and it has a window, otherwise the character whenever sessions are shown (room is kept even for
// the character "none").
bool NotchViewModel::hasRightWingItem() const
{
    if (m_defaults.stringValue(characterKey) == "usage")
        return m_hasUsageWindow && m_hasUsageWindow();
    return m_barSummary.hasSessions;
}

bool NotchViewModel::isSnoozed() const
{
    return m_coordinator.isSnoozed();
}

void NotchViewModel::setHovering(bool inside)
{
    m_hoverTask =
        ScheduledTimer(m_scheduler, m_scheduler.schedule(inside ? enterDelay : leaveDelay, [this, inside] {
            if (!inside) {
                setIsHovering(false);
                setIsClickOpen(false);
                return;
            }
            setIsHovering(true);
            if (expandTrigger() == ExpandTrigger::click) {
                // Only a panel that opened itself for attention stays open under the pointer.
                if (m_coordinator.desiredPresentation() == PanelPresentation::expanded) {
                    setIsClickOpen(true);
                    m_coordinator.noteUserLooked();
                }
                return;
            }
            m_coordinator.noteUserLooked();
        }));
}

void NotchViewModel::handleCollapsedClick()
{
    if (presentation() == PanelPresentation::expanded)
        return;
    const bool click = expandTrigger() == ExpandTrigger::click;
    Log::debug("click", std::string("collapsed bar, trigger=") + (click ? "click" : "hover"));
    if (click) {
        setIsClickOpen(true);
        m_coordinator.noteUserLooked();
        return;
    }
    if (m_coordinator.isSnoozed())
        m_coordinator.cancelSnooze();
    else if (m_store.displaySummary().asking > 0)
        m_coordinator.snooze();
}

void NotchViewModel::reportSheetHeight(double height)
{
    if (!(height > 0) || std::abs(height - m_sheetHeight) <= 0.5)
        return;
    m_sheetHeight = height;
    Q_EMIT sheetHeightChanged();
}

void NotchViewModel::setHoldOpen(bool hold)
{
    if (m_holdOpen == hold)
        return;
    m_holdOpen = hold;
    Q_EMIT holdOpenChanged();
    recompute();
}

void NotchViewModel::setIsHovering(bool value)
{
    if (m_isHovering == value)
        return;
    m_isHovering = value;
    Q_EMIT hoveringChanged();
    recompute();
}

void NotchViewModel::setIsClickOpen(bool value)
{
    if (m_isClickOpen == value)
        return;
    m_isClickOpen = value;
    Q_EMIT clickOpenChanged();
    recompute();
}

void NotchViewModel::noteSessions()
{
    if (m_frame.isActive())
        return;
    m_frame = ScheduledTimer(m_scheduler, m_scheduler.schedule(kFrame, [this] {
        m_frame = ScheduledTimer();
        takeInSessions();
    }));
}

void NotchViewModel::takeInSessions()
{
    m_barSummary = summarize();
    recompute();
    Q_EMIT sessionsRefreshed();
}

NotchViewModel::BarSummary NotchViewModel::summarize() const
{
    const DisplaySummary& counts = m_store.displaySummary();
    BarSummary summary;
    summary.hasSessions = counts.displayed > 0;
    for (std::size_t index = 0; index < kAllAgentKinds.size(); ++index) {
        if (counts.perKind[index] > 0)
            summary.groups.push_back(AgentGroup{kAllAgentKinds[index], counts.waitingPerKind[index]});
    }
    return summary;
}

void NotchViewModel::recompute()
{
    const PanelPresentation now = presentation();
    if (now != m_lastPresentation) {
        m_lastPresentation = now;
        Q_EMIT presentationChanged();
    }
    const double width = collapsedWidth();
    if (width != m_lastWidth) {
        m_lastWidth = width;
        Q_EMIT collapsedWidthChanged();
    }
    const bool concealed = isBarConcealed();
    if (concealed != m_lastConcealed) {
        m_lastConcealed = concealed;
        Q_EMIT barConcealedChanged();
    }
}

} // namespace velquist
