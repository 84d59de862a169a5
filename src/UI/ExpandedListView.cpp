#include "UI/ExpandedListView.h"

#include "Core/SessionCardList.h"
#include "UI/CardColumnLayout.h"
#include "UI/EmptySessionsView.h"
#include "UI/HiddenSessionsRow.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/PanelVisibility.h"
#include "UI/SessionRowSource.h"
#include "UI/UsageStrip.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace velquist {
namespace {

// The foot of the scrolling area melting into the sheet when rows go on below it.
class FadeOverlay : public QWidget
{
  public:
    explicit FadeOverlay(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        QColor clear = AuroraStyle::sheet();
        clear.setAlphaF(0);
        gradient.setColorAt(0, clear);
        gradient.setColorAt(1, AuroraStyle::sheet());
        painter.fillRect(rect(), gradient);
    }
};

// The positions (into `values`) of one longest strictly increasing run.
std::vector<std::size_t> longestIncreasing(const std::vector<std::size_t>& values)
{
    std::vector<std::size_t> tails;
    std::vector<std::size_t> previous(values.size(), SIZE_MAX);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto at =
            std::lower_bound(tails.begin(), tails.end(), values[i],
                             [&](std::size_t index, std::size_t value) { return values[index] < value; });
        if (at != tails.begin())
            previous[i] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<std::size_t> run;
    for (std::size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = previous[i])
        run.push_back(i);
    std::reverse(run.begin(), run.end());
    return run;
}

} // namespace

ExpandedListView::ExpandedListView(SessionCardList& cards, SessionRowSource& rows, QWidget* parent,
                                   const Clock* clock, Scheduler* scheduler)
    : QWidget(parent), m_cards(cards), m_rows(rows), m_scheduler(scheduler), m_layout(new QVBoxLayout(this)),
      m_scroll(new QScrollArea), m_rowsBox(new QWidget), m_rowsLayout(new CardColumnLayout(m_rowsBox)),
      m_fade(nullptr), m_footer(new QWidget), m_hidden(new HiddenSessionsRow),
      m_strip(new UsageStrip(UsageReading{}, nullptr, clock)), m_empty(new EmptySessionsView),
      m_visibility(new PanelVisibility(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);

    // Each row keeps a clear margin around its card: the cards, not the margins, sit at the spacing
    // and padding, so these may be negative (a plain box layout would take the style's defaults).
    const int margin = rows.rowMargin();
    m_rowsLayout->setPadding(kPaddingX - margin, kPaddingTop - margin, kPaddingX - margin,
                             kPaddingBottom - margin);
    m_rowsLayout->setGap(kRowSpacing - 2 * margin);
    m_rowsBox->setFixedWidth(int(kWidth));
    m_rowsBox->setAttribute(Qt::WA_TranslucentBackground);
    m_rowsBox->installEventFilter(this);

    m_scroll->setWidget(m_rowsBox);
    // setWidget() turns the background filling on; the rows sit on the sheet.
    m_rowsBox->setAutoFillBackground(false);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFixedWidth(int(kWidth));
    // The sheet behind shows through: nothing here paints a background or claims to.
    for (QWidget* part : {static_cast<QWidget*>(m_scroll), m_scroll->viewport()}) {
        part->setAutoFillBackground(false);
        part->setAttribute(Qt::WA_TranslucentBackground);
    }
    m_fade = new FadeOverlay(m_scroll);
    m_scroll->viewport()->installEventFilter(this);

    auto* footerLayout = new QVBoxLayout(m_footer);
    footerLayout->setContentsMargins(kPaddingX, 0, kPaddingX, kPaddingBottom);
    footerLayout->setSpacing(0);
    footerLayout->addWidget(m_hidden, 0, Qt::AlignLeft);
    footerLayout->addWidget(m_strip, 0, Qt::AlignLeft);
    m_footer->setFixedWidth(int(kWidth));

    m_empty->setFixedWidth(int(kWidth));

    m_layout->addWidget(m_scroll);
    m_layout->addWidget(m_footer);
    m_layout->addWidget(m_empty);

    connect(m_hidden, &QAbstractButton::clicked, this,
            [this] { m_cards.setRevealsHidden(!m_cards.revealsHidden()); });
    m_cards.attach(this);
    connect(&m_cards, &SessionCardList::changed, this, &ExpandedListView::requestRefresh);
    connect(m_visibility, &PanelVisibility::visibleChanged, this, &ExpandedListView::setPanelVisible);
    refresh();
}

ExpandedListView::~ExpandedListView() = default;

void ExpandedListView::setUsage(const std::optional<UsageReading>& usage)
{
    if (usage == m_usage)
        return;
    m_usage = usage;
    syncFooter();
}

void ExpandedListView::setAvailableHeight(qreal height)
{
    if (height == m_available)
        return;
    m_available = height;
    resizeList();
}

bool ExpandedListView::hasPending() const
{
    return m_cards.hasPending();
}

void ExpandedListView::requestRefresh()
{
    if (!isActive() || !m_cards.isReader(this))
        return;
    if (!m_scheduler) {
        refresh();
        return;
    }
    if (m_frame.isActive())
        return;
    m_frame = ScheduledTimer(*m_scheduler, m_scheduler->schedule(refreshDelay(m_order.size()), [this] {
        m_frame = ScheduledTimer();
        refresh();
    }));
}

std::chrono::milliseconds ExpandedListView::refreshDelay(std::size_t rows)
{
    const std::size_t frames = std::max<std::size_t>(1, (rows + kRowsPerFrame - 1) / kRowsPerFrame);
    return kFrame * static_cast<long>(frames);
}

void ExpandedListView::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (!isActive())
        m_frame.cancel();
    else if (hasPending())
        refresh();
}

void ExpandedListView::refresh()
{
    m_frame.cancel();
    // A list that another took over (it is going) leaves the cards to its successor.
    if (!m_cards.isReader(this))
        return;
    ++m_refreshCount;
    syncRows();
    const bool empty = showsEmptyState();
    m_scroll->setVisible(!empty);
    m_empty->setVisible(empty);
    syncFooter();
    resizeList();
    layOutWhileHidden();
}

void ExpandedListView::layOutWhileHidden()
{
    // A widget's layout waits for it to be shown: the first opening of a long list would lay out
    // every card in one frame. A list that is not on screen lays its rows out now instead, so
    // opening only shows them.
    if (isVisible())
        return;
    m_rowsLayout->activate();
    for (const auto& [id, row] : m_byId) {
        QLayout* layout = row->layout();
        if (!layout)
            continue;
        layout->activate();
        // A hidden row placed since its layout last ran keeps its resize for when it is shown.
        const QRect inside = row->contentsRect();
        if (layout->geometry() != inside)
            layout->setGeometry(inside);
    }
}

bool ExpandedListView::showsEmptyState() const
{
    return m_order.empty() && m_cards.hiddenCount() < 1;
}

void ExpandedListView::syncRows()
{
    const SessionCardList::Update update = m_cards.update();
    for (const std::string& id : update.removed) {
        const auto found = m_byId.find(id);
        if (found == m_byId.end())
            continue;
        m_rowsLayout->removeWidget(found->second);
        m_toldSeen.erase(found->second);
        delete found->second;
        m_byId.erase(found);
    }
    if (!update.removed.empty())
        std::erase_if(m_order, [&](const std::string& id) { return !m_byId.contains(id); });
    for (const std::string& id : update.changed) {
        const SessionCard& card = *m_cards.card(id);
        if (const auto found = m_byId.find(id); found != m_byId.end()) {
            m_rows.updateRow(found->second, card);
            continue;
        }
        QWidget* widget = m_rows.makeRow(card);
        widget->setParent(m_rowsBox);
        tellSeen(widget, m_panelVisible && isInView(widget));
        m_byId.emplace(id, widget);
    }
    if (m_cards.order() != m_order)
        reorder(m_cards.order());
}

// The rows that keep their relative order stay where they are in the layout; only the others are
// taken out and put back in place (with the new rows), so one session rising to the top moves one
// row.
void ExpandedListView::reorder(std::vector<std::string> order)
{
    std::unordered_map<std::string, std::size_t> position;
    for (std::size_t index = 0; index < order.size(); ++index)
        position.emplace(order[index], index);
    std::vector<std::size_t> laidOut;
    laidOut.reserve(m_order.size());
    for (const std::string& id : m_order)
        laidOut.push_back(position.at(id));
    std::unordered_set<std::size_t> staying;
    for (const std::size_t index : longestIncreasing(laidOut))
        staying.insert(laidOut[index]);
    std::unordered_map<QWidget*, QLayoutItem*> taken;
    for (const std::string& id : m_order) {
        if (staying.contains(position.at(id)))
            continue;
        QWidget* widget = m_byId.at(id);
        taken.emplace(widget, m_rowsLayout->takeAt(m_rowsLayout->indexOf(widget)));
    }
    // What stays is in order, so putting the rest back in ascending places keeps every earlier
    // place right.
    for (std::size_t index = 0; index < order.size(); ++index) {
        if (staying.contains(index))
            continue;
        QWidget* widget = m_byId.at(order[index]);
        if (const auto found = taken.find(widget); found != taken.end()) {
            m_rowsLayout->insertItem(int(index), found->second);
        } else {
            m_rowsLayout->insertWidget(int(index), widget);
            widget->show();
        }
    }
    m_order = std::move(order);
}

void ExpandedListView::setPanelVisible(bool visible)
{
    if (visible == m_panelVisible)
        return;
    m_panelVisible = visible;
    syncRowsInView();
    if (!isActive())
        m_frame.cancel();
    else if (hasPending())
        refresh();
}

bool ExpandedListView::isInView(const QWidget* row) const
{
    return m_scroll->viewport()->rect().intersects(row->geometry().translated(m_rowsBox->pos()));
}

void ExpandedListView::tellSeen(QWidget* row, bool seen)
{
    m_rows.setRowPanelVisible(row, seen);
    if (seen)
        m_toldSeen.insert(row);
    else
        m_toldSeen.erase(row);
}

void ExpandedListView::syncRowsInView()
{
    // A row scrolled out of the list is as unseen as one in a hidden panel. Scrolling a long list
    // looks only at the rows around the viewport, found from where the column last put them;
    // only after rows came, went or moved is every row looked at.
    std::unordered_set<QWidget*> seen;
    if (m_panelVisible) {
        const QRect viewport = m_scroll->viewport()->rect().translated(-m_rowsBox->pos());
        if (const auto range = m_rowsLayout->rowsWithin(viewport.top(), viewport.bottom())) {
            for (int index = range->first; index < range->second; ++index) {
                QWidget* row = m_rowsLayout->itemAt(index)->widget();
                if (row && !row->isHidden() && isInView(row))
                    seen.insert(row);
            }
        } else {
            for (const auto& [id, row] : m_byId) {
                if (isInView(row))
                    seen.insert(row);
            }
        }
    }
    std::vector<QWidget*> left;
    for (QWidget* row : m_toldSeen) {
        if (!seen.contains(row))
            left.push_back(row);
    }
    for (QWidget* row : left)
        tellSeen(row, false);
    for (QWidget* row : seen) {
        if (!m_toldSeen.contains(row))
            tellSeen(row, true);
    }
}

void ExpandedListView::syncFooter()
{
    const bool reveals = m_cards.revealsHidden();
    const int hidden = m_cards.hiddenCount();
    const bool empty = showsEmptyState();
    m_hidden->setState(hidden, reveals);
    m_hidden->setVisible(!empty && (hidden > 0 || reveals));
    if (m_usage)
        m_strip->setReading(*m_usage);
    m_strip->setVisible(!empty && m_usage && UsageStrip::shows(*m_usage));
    m_footer->setVisible(!empty);
    resizeList();
}

qreal ExpandedListView::contentHeight() const
{
    return m_rowsLayout->sizeHint().height();
}

qreal ExpandedListView::listCap() const
{
    qreal footer = 0;
    if (m_footer->isVisibleTo(const_cast<ExpandedListView*>(this)))
        footer = m_footer->sizeHint().height();
    // The footer must stay inside the panel with the list: the list gives up what the footer needs.
    return std::max(1.0, std::min(kListCap, m_available - footer));
}

qreal ExpandedListView::listHeight() const
{
    return std::min(std::max(contentHeight(), 1.0), listCap());
}

bool ExpandedListView::fades() const
{
    return contentHeight() > listCap();
}

void ExpandedListView::resizeList()
{
    const int content = int(std::ceil(contentHeight()));
    m_rowsBox->resize(int(kWidth), content);
    const int shown = int(std::ceil(listHeight()));
    if (m_scroll->height() != shown)
        m_scroll->setFixedHeight(shown);
    const bool fading = fades();
    m_fade->setVisible(fading);
    if (fading)
        m_fade->setGeometry(0, shown - int(kFadeHeight), int(kWidth), int(kFadeHeight));
    m_fade->raise();
    updateGeometry();
}

std::vector<QWidget*> ExpandedListView::rows() const
{
    std::vector<QWidget*> result;
    for (const std::string& id : m_order)
        result.push_back(m_byId.at(id));
    return result;
}

QWidget* ExpandedListView::row(const std::string& id) const
{
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : found->second;
}

QSize ExpandedListView::sizeHint() const
{
    return m_layout->sizeHint();
}

bool ExpandedListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_rowsBox && event->type() == QEvent::LayoutRequest) {
        resizeList();
        layOutWhileHidden();
    }
    // The rows move under the viewport as the list scrolls, is laid out again or changes height.
    const bool moved = event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                       event->type() == QEvent::LayoutRequest;
    if ((watched == m_rowsBox || watched == m_scroll->viewport()) && moved)
        syncRowsInView();
    return QWidget::eventFilter(watched, event);
}

void ExpandedListView::resizeEvent(QResizeEvent*)
{
    m_fade->raise();
}

void ExpandedListView::showEvent(QShowEvent*)
{
    // The first showing finds the panel as it is, which need not be a change of what it was.
    setPanelVisible(m_visibility->isVisible());
}

} // namespace velquist
