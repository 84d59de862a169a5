#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace velquist {

// A coloured dot inside a 1.5-pt collar ring.
namespace StatusPip {

inline constexpr qreal kCollarWidth = 1.5;
// Where the pip sits relative to the place its container gives it: right and up.
inline constexpr QPointF kOffset{4, -3};

// The pip's outer diameter for a dot of `size`.
inline qreal outerSize(qreal size)
{
    return size + 2 * kCollarWidth;
}
// The collar filling `rect` (outer square), the dot inside it.
void paint(QPainter& painter, const QRectF& rect, const QColor& color, const QColor& collar);

} // namespace StatusPip
} // namespace velquist
