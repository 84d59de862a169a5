#pragma once

#include "Core/AgentGrouping.h"
#include "Core/PanelPresentation.h"
#include "Core/PrivacyGuard.h"
#include "Core/Scheduler.h"
#include "Core/SessionCardList.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

namespace velquist {

class AttentionCoordinator;
class SessionStore;
class UserDefaults;

// The state of one notch panel: what it shows (merging the coordinator's wish with this panel's
// pointer and the overrides of privacy, hold-open and text entry), how wide its collapsed bar is,
// what a click on the bar does, and the sheet height its view reports. One per screen; every one
// shares the store, the coordinator and the privacy guard. It gathers the store's changes and
// takes them in at most once a frame, telling its views with sessionsRefreshed(); the open list's
// cards are its card list, which its list view reads at its own pace. Main thread.
class NotchViewModel final : public QObject
{
    Q_OBJECT
  public:
    // The screen's bar: its height, the gap it leaves for a notch, and the widest a wing may grow.
    struct BarMetrics
    {
        double barHeight = 0;
        double centerGapWidth = 0;
        double wingWidth = 0;
    };
    // What opens the panel, from "expandTrigger"; anything but "click" means hover.
    enum class ExpandTrigger { hover, click };
    // What the collapsed bar shows of the displayed sessions.
    struct BarSummary
    {
        std::vector<AgentGroup> groups;
        bool hasSessions = false;

        bool operator==(const BarSummary&) const = default;
    };

    static constexpr std::chrono::milliseconds enterDelay{180};
    static constexpr std::chrono::milliseconds leaveDelay{250};
    // How long the store's changes gather before the model takes them in.
    static constexpr std::chrono::milliseconds kFrame{16};

    // `privacy` may be null (never private). `hasUsageWindow` tells whether the usage ring has a
    // window to show; none means there is no usage store.
    NotchViewModel(BarMetrics metrics, SessionStore& store, AttentionCoordinator& coordinator,
                   const PrivacyGuard* privacy, UserDefaults& defaults, Scheduler& scheduler,
                   std::function<bool()> hasUsageWindow = {}, QObject* parent = nullptr);
    ~NotchViewModel() override;

    const BarMetrics& metrics() const { return m_metrics; }
    // What this panel shows now.
    PanelPresentation presentation() const;
    // The collapsed bar's width: the notch gap and two equal wings as wide as the wider content.
    double collapsedWidth() const;
    // Whether the collapsed bar hides itself (only when asked to while idle and nothing waits).
    bool isBarConcealed(bool hideWhenIdle) const;
    // The same, with "hidesWhenIdle" as the user set it.
    bool isBarConcealed() const;
    const BarSummary& barSummary() const { return m_barSummary; }
    // The open list's cards.
    SessionCardList& cards() { return m_cards; }
    // What the peek shows: the first displayed session that asks for the user.
    std::optional<Session> peekSession() const;
    // The scheduler the panel's views gather their work on.
    Scheduler& scheduler() const { return m_scheduler; }
    ExpandTrigger expandTrigger() const;

    // The pointer entered (true) or left the panel; takes effect after a short delay, and only the
    // last call within it counts.
    void setHovering(bool inside);
    // A click on the collapsed bar: opens it (click trigger), or snoozes and un-snoozes (hover).
    void handleCollapsedClick();
    // The sheet's natural height; ignored unless positive and more than half a point away.
    void reportSheetHeight(double height);

    bool isHovering() const { return m_isHovering; }
    bool isClickOpen() const { return m_isClickOpen; }
    bool holdOpen() const { return m_holdOpen; }
    // Held expanded from outside (the introduction, through the screen controller).
    void setHoldOpen(bool hold);
    double sheetHeight() const { return m_sheetHeight; }

  Q_SIGNALS:
    void presentationChanged();
    void collapsedWidthChanged();
    void hoveringChanged();
    void clickOpenChanged();
    void holdOpenChanged();
    void sheetHeightChanged();
    // isBarConcealed() changed (the setting, the pointer, what is shown or what asks).
    void barConcealedChanged();
    // The store's changes of the last frame are taken in; views showing sessions follow now.
    void sessionsRefreshed();

  private:
    bool hasRightWingItem() const;
    bool isSnoozed() const;
    void setIsHovering(bool value);
    void setIsClickOpen(bool value);
    // Tells observers of the derived values when they moved.
    void recompute();
    void noteSessions();
    void takeInSessions();
    BarSummary summarize() const;

    const BarMetrics m_metrics;
    SessionStore& m_store;
    AttentionCoordinator& m_coordinator;
    QPointer<const PrivacyGuard> m_privacy;
    UserDefaults& m_defaults;
    Scheduler& m_scheduler;
    std::function<bool()> m_hasUsageWindow;
    int m_defaultsObserver = 0;

    bool m_isHovering = false;
    bool m_isClickOpen = false;
    bool m_holdOpen = false;
    double m_sheetHeight = 0;
    ScheduledTimer m_hoverTask;
    ScheduledTimer m_frame;
    BarSummary m_barSummary;
    SessionCardList m_cards;
    PanelPresentation m_lastPresentation = PanelPresentation::collapsed;
    double m_lastWidth = 0;
    bool m_lastConcealed = false;
};

} // namespace velquist
