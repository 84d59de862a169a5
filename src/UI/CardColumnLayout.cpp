#include "UI/CardColumnLayout.h"

#include <QWidget>
#include <QWidgetItem>

#include <algorithm>

namespace velquist {

CardColumnLayout::CardColumnLayout(QWidget* parent) : QLayout(parent) {}

CardColumnLayout::~CardColumnLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void CardColumnLayout::setPadding(int left, int top, int right, int bottom)
{
    m_left = left;
    m_top = top;
    m_right = right;
    m_bottom = bottom;
    invalidate();
}

void CardColumnLayout::setGap(int gap)
{
    m_gap = gap;
    invalidate();
}

void CardColumnLayout::insertWidget(int index, QWidget* widget)
{
    addChildWidget(widget);
    // The kind of item Qt's own layouts make: it keeps the row's size hints and heights for the
    // last widths asked until the row changes, so measuring the column does not lay out the text
    // of every card again.
    insertItem(index, new QWidgetItemV2(widget));
}

void CardColumnLayout::insertItem(int index, QLayoutItem* item)
{
    m_items.insert(std::clamp(index, 0, count()), item);
    ++m_placements;
    m_placesCurrent = false;
    invalidate();
}

void CardColumnLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    m_placesCurrent = false;
    invalidate();
}

QLayoutItem* CardColumnLayout::itemAt(int index) const
{
    return index >= 0 && index < count() ? m_items.at(index) : nullptr;
}

QLayoutItem* CardColumnLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    m_placesCurrent = false;
    invalidate();
    return item;
}

int CardColumnLayout::rowWidth() const
{
    const QWidget* parent = parentWidget();
    const int width = geometry().isValid() ? geometry().width() : parent ? parent->width() : 0;
    return std::max(0, width - m_left - m_right);
}

int CardColumnLayout::rowHeight(const QLayoutItem* item, int width) const
{
    return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
}

void CardColumnLayout::invalidate()
{
    m_hintWidth = -1;
    QLayout::invalidate();
}

QSize CardColumnLayout::sizeHint() const
{
    const int width = rowWidth();
    if (width == m_hintWidth)
        return m_hint;
    int widest = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        widest = std::max(widest, item->sizeHint().width());
        height += rowHeight(item, width);
        ++shown;
    }
    if (shown > 0)
        height += m_gap * (shown - 1);
    m_hintWidth = width;
    m_hint = QSize(std::max(0, widest + m_left + m_right), std::max(0, height + m_top + m_bottom));
    return m_hint;
}

void CardColumnLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const int width = std::max(0, rect.width() - m_left - m_right);
    int y = rect.y() + m_top;
    m_places.clear();
    m_places.reserve(std::size_t(m_items.size()));
    // Rows are found by their places only while both their tops and their bottoms run down.
    bool ordered = true;
    Place last{y, y - 1};
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty()) {
            m_places.push_back({y, y - 1});
            continue;
        }
        const int height = rowHeight(item, width);
        const Place placed{y, y + height - 1};
        ordered = ordered && placed.top >= last.top && placed.bottom >= last.bottom;
        last = placed;
        m_places.push_back(placed);
        // A widget item keeps its widget inside the rectangle's top; a row's glow margin may stand
        // above it, so the row is placed directly.
        const QRect place(rect.x() + m_left, y, width, height);
        if (QWidget* widget = item->widget())
            widget->setGeometry(place);
        else
            item->setGeometry(place);
        y += height + m_gap;
    }
    m_placesCurrent = ordered;
}

std::optional<std::pair<int, int>> CardColumnLayout::rowsWithin(int top, int bottom) const
{
    if (!m_placesCurrent || m_places.size() != std::size_t(m_items.size()))
        return std::nullopt;
    // One past the last row starting above `bottom`, then back while rows still reach `top`.
    const auto end = std::partition_point(m_places.begin(), m_places.end(),
                                          [&](const Place& place) { return place.top <= bottom; });
    auto begin = end;
    while (begin != m_places.begin()) {
        const Place& place = *(begin - 1);
        if (place.bottom >= place.top && place.bottom < top)
            break;
        --begin;
    }
    return std::pair{int(begin - m_places.begin()), int(end - m_places.begin())};
}

} // namespace velquist
