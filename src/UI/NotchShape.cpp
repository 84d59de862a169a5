#include "UI/NotchShape.h"

#include <algorithm>

namespace velquist::NotchShape {

QPainterPath path(const QRectF& rect, qreal topRadius, qreal bottomRadius)
{
    // Radii beyond what the rectangle holds would cross the opposite side.
    const qreal t = std::clamp(topRadius, 0.0, std::min(rect.width() / 2, rect.height()));
    const qreal b =
        std::clamp(bottomRadius, 0.0, std::max(0.0, std::min(rect.width() / 2 - t, rect.height() - t)));
    const qreal minX = rect.left(), maxX = rect.right(), minY = rect.top(), maxY = rect.bottom();
    QPainterPath shape;
    shape.moveTo(minX, minY);
    shape.quadTo(minX + t, minY, minX + t, minY + t);
    shape.lineTo(minX + t, maxY - b);
    shape.quadTo(minX + t, maxY, minX + t + b, maxY);
    shape.lineTo(maxX - t - b, maxY);
    shape.quadTo(maxX - t, maxY, maxX - t, maxY - b);
    shape.lineTo(maxX - t, minY + t);
    shape.quadTo(maxX - t, minY, maxX, minY);
    shape.closeSubpath();
    return shape;
}

} // namespace velquist::NotchShape
