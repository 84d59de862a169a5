#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace velquist {

// The ring shared by the context and usage gauges: a faint track and an arc from the top, clockwise.
namespace GaugeRing {

inline constexpr qreal kLineWidth = 2;
inline constexpr qreal kMinimumArc = 0.02; // a sliver always shows, even for an empty gauge

// Bounds `fraction` to [0.02, 1]; NaN counts as empty.
qreal arcFraction(double fraction);
// Track and arc inside `rect` (the stroke stays within it).
void paint(QPainter& painter, const QRectF& rect, double fraction, const QColor& colour);

} // namespace GaugeRing
} // namespace velquist
