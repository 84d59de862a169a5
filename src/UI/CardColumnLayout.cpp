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
    invalidate();
}

void CardColumnLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
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
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const int height = rowHeight(item, width);
        // A widget item keeps its widget inside the rectangle's top; a row's glow margin may stand
        // above it, so the row is placed directly.
        const QRect place(rect.x() + m_left, y, width, height);
        if (QWidget* widget = item->widget())
            widget->setGeometry(place);
        else
            item->setGeometry(place);
        y += height + m_gap;
    }
}

} // namespace velquist
