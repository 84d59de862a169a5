#pragma once

#include "Platform/Clock.h"
#include "UI/NotchGeometry.h"
#include "Usage/UsageReading.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

namespace velquist {

class AttentionCoordinator;
class CollapsedBarView;
class ExpandedListView;
class NotchBody;
class NotchViewModel;
class PeekView;
class SessionRowSource;
class UserDefaults;

// The root view of one panel: the notch-shaped body with the collapsed bar and, under it, the peek
// line or the session list, following the panel's view model: what it shows of the sessions (the
// bar's summary, the peek's session, the list's cards) and whether the idle bar hides all come
// from the model. It sizes and shapes the body by the model's presentation, reports the sheet's
// height back and forwards a click on the bar.
class NotchContainerView : public QWidget
{
    Q_OBJECT
  public:
    struct Services
    {
        AttentionCoordinator& coordinator;
        UserDefaults& defaults;
        SessionRowSource& rows;
        const Clock& clock;
        // The usage store's reading; unset or none: there is no usage store.
        std::function<std::optional<UsageReading>()> usage;
        // Whether the introduction is playing (then the list shows no usage); unset: never.
        std::function<bool()> introIsPlaying;
    };

    NotchContainerView(NotchViewModel& model, const NotchGeometry& geometry, Services services,
                       QWidget* parent = nullptr);
    ~NotchContainerView() override;

    NotchBody* body() const { return m_body; }
    CollapsedBarView* bar() const { return m_bar; }
    // The sheet's content now: the peek line or the list (none while peeking without a session).
    PeekView* peek() const;
    ExpandedListView* list() const;
    // The character layer of the bar's right wing (the bar takes ownership).
    void setCharacterLayer(QWidget* layer);
    // Re-reads the usage store's reading (its owner calls this on every change).
    void refreshUsage();
    // Targets reached at once, without animation (for tests and pictures).
    void setAnimated(bool animated);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void applyPresentation();
    void applySessions();
    void applySettings();
    void applyConcealment();
    void applySnooze();
    void reportSheetHeight(qreal height);
    std::optional<UsageReading> usage() const;

    NotchViewModel& m_model;
    Services m_services;
    NotchBody* m_body;
    CollapsedBarView* m_bar;
    QPointer<PeekView> m_peek;
    QPointer<ExpandedListView> m_list;
    int m_defaultsObserver = 0;
};

} // namespace velquist
