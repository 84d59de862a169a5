#pragma once

#include <QPainterPath>
#include <QRectF>

namespace velquist {

// The outline of the panel's body: full width along the screen's top edge, flaring into the body
// with curved top corners (like the inside of a camera notch), rounded at the bottom.
namespace NotchShape {

inline constexpr qreal kCollapsedTopRadius = 8;
inline constexpr qreal kCollapsedBottomRadius = 12;
inline constexpr qreal kOpenTopRadius = 12;
inline constexpr qreal kOpenBottomRadius = 30;

// The closed outline in `rect`; the body's sides are inset by `topRadius`. Radii that do not fit
// the rectangle are reduced so the outline never folds over itself.
QPainterPath path(const QRectF& rect, qreal topRadius, qreal bottomRadius);

} // namespace NotchShape
} // namespace velquist
