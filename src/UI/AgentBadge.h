#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace velquist {

// The red count bubble on an agent icon.
namespace AgentBadge {

// Where the badge sits relative to the place its container gives it: right and up.
inline constexpr QPointF kOffset{5, -4};

// "1" to "9", then "9+"; empty below 1 (nothing is drawn).
QString text(int count);
// The badge's size for `count`: at least 11 × 11; empty below 1.
QSizeF size(int count);
// The badge for `count` in `rect` (already offset by the caller); nothing below 1.
void paint(QPainter& painter, const QRectF& rect, int count);

} // namespace AgentBadge
} // namespace velquist
