#include "UI/Kit/PiecewiseBlit.h"

#include <QPainter>
#include <QPixmap>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace velquist {

namespace {
// Fewer lines than the engine's threshold for sharing a blend between threads.
constexpr int kStripRows = 48;
} // namespace

void drawPiecewise(QPainter& painter, const QRegion& region, const QPixmap& picture)
{
    if (picture.isNull())
        return;
    const qreal ratio = picture.devicePixelRatio();
    const int scale = int(std::lround(ratio));
    // A picture at a fractional density would not cut along whole pixels.
    if (scale < 1 || ratio != qreal(scale)) {
        painter.drawPixmap(0, 0, picture);
        return;
    }
    const QRect bounds(QPoint(0, 0), picture.deviceIndependentSize().toSize());
    const int strip = std::max(1, kStripRows / scale);
    for (const QRect& rect : region) {
        const QRect piece = rect & bounds;
        for (int top = piece.top(); top <= piece.bottom(); top += strip) {
            const QRect part(piece.left(), top, piece.width(), std::min(strip, piece.bottom() + 1 - top));
            painter.drawPixmap(part, picture, QRect(part.topLeft() * scale, part.size() * scale));
        }
    }
}

} // namespace velquist
