#pragma once

#include "Core/Scheduler.h"
#include "Usage/UsageReading.h"

#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QScrollArea;
class QVBoxLayout;

namespace velquist {

class CardColumnLayout;
class EmptySessionsView;
class HiddenSessionsRow;
class PanelVisibility;
class SessionCardList;
class SessionRowSource;
class UsageStrip;
class Clock;

// The open panel's content: the cards of its view model's card list in a scrolling area that fades
// at its foot when they do not fit, the hidden-sessions switch and the usage strip; or an empty
// state. Rows are kept by session id: only a changed card's row is refreshed, and a new order moves
// only the rows that left their place. The list's changes are gathered and applied at most once a
// frame, and not at all while the list is not shown (it catches up when it is). Every row learns whether the
// panel holding the list is on screen and it is scrolled into view, so nothing animates for nobody.
class ExpandedListView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr qreal kWidth = 760;
    static constexpr qreal kListCap = 520;
    static constexpr qreal kFadeHeight = 32;
    static constexpr int kRowSpacing = 7;
    static constexpr int kPaddingX = 24;
    static constexpr int kPaddingTop = 8;
    static constexpr int kPaddingBottom = 16;

    // How long the card list's changes gather before the list applies them: a frame for every
    // `kRowsPerFrame` rows it holds, so a list of thousands refreshes a few times a second and its
    // work per second does not grow with the number of sessions.
    static constexpr std::chrono::milliseconds kFrame{16};
    static constexpr std::size_t kRowsPerFrame = 100;
    // The wait before the next refresh of a list of `rows` rows.
    static std::chrono::milliseconds refreshDelay(std::size_t rows);

    // Without a scheduler every change of the cards is applied at once. The list becomes the card
    // list's reader.
    ExpandedListView(SessionCardList& cards, SessionRowSource& rows, QWidget* parent = nullptr,
                     const Clock* clock = nullptr, Scheduler* scheduler = nullptr);
    ~ExpandedListView() override;

    // The usage store's reading; none while there is no usage store (then no strip).
    void setUsage(const std::optional<UsageReading>& usage);
    // The most this view may be tall: the list gives way so the footer always fits with it.
    void setAvailableHeight(qreal height);

    // Applies what changed in the card list since the last refresh.
    void refresh();
    // Whether the list is shown in its panel (the panel is open); a list that is not shown does no
    // list work. True until told.
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    // How many refreshes have run.
    int refreshCount() const { return m_refreshCount; }

    bool showsEmptyState() const;
    // Whether the hosting panel is on screen, as last handed to the rows; true until known.
    bool isPanelVisible() const { return m_panelVisible; }
    // The scrolling area's height and the height of the rows it holds (with their padding).
    qreal listHeight() const;
    qreal contentHeight() const;
    bool fades() const;
    // The rows in list order, and the row of one session.
    std::vector<QWidget*> rows() const;
    QWidget* row(const std::string& id) const;
    HiddenSessionsRow* hiddenRow() const { return m_hidden; }
    UsageStrip* usageStrip() const { return m_strip; }
    QWidget* footer() const { return m_footer; }
    QScrollArea* scrollArea() const { return m_scroll; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    bool isActive() const { return m_shown && m_panelVisible; }
    bool hasPending() const;
    void requestRefresh();
    void syncRows();
    void reorder(std::vector<std::string> order);
    void syncFooter();
    void setPanelVisible(bool visible);
    bool isInView(const QWidget* row) const;
    void tellSeen(QWidget* row, bool seen);
    void syncRowsInView();
    void resizeList();
    void layOutWhileHidden();
    qreal listCap() const;

    SessionCardList& m_cards;
    SessionRowSource& m_rows;
    std::map<std::string, QWidget*> m_byId;
    // The rows last told that they are seen; every other row was told it is not.
    std::unordered_set<QWidget*> m_toldSeen;
    std::vector<std::string> m_order;
    std::optional<UsageReading> m_usage;
    qreal m_available = 1e9;
    bool m_panelVisible = true;
    bool m_shown = true;
    Scheduler* m_scheduler;
    ScheduledTimer m_frame;
    int m_refreshCount = 0;

    QVBoxLayout* m_layout;
    QScrollArea* m_scroll;
    QWidget* m_rowsBox;
    CardColumnLayout* m_rowsLayout;
    QWidget* m_fade;
    QWidget* m_footer;
    HiddenSessionsRow* m_hidden;
    UsageStrip* m_strip;
    EmptySessionsView* m_empty;
    PanelVisibility* m_visibility;
};

} // namespace velquist
