#include "Characters/VelquistMark.h"

#include "Characters/LogoCatGrid.h"
#include "UI/Kit/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace velquist::VelquistMark {

const std::array<QRectF, 6>& gridRects()
{
    static const std::array<QRectF, 6> rects{
        QRectF(4, 20, 4, 4),  // left ear
        QRectF(20, 20, 4, 4), // right ear
        QRectF(4, 16, 8, 4),  // left brow
        QRectF(16, 16, 8, 4), // right brow
        QRectF(0, 4, 28, 12), // head
        QRectF(4, 0, 20, 4),  // chin
    };
    return rects;
}

double unit(const QRectF& rect)
{
    return std::min(rect.height() / kGridHeight, rect.width() / kGridWidth);
}

std::array<QRectF, 6> placedRects(const QRectF& rect)
{
    const double u = unit(rect);
    const double left = rect.left() + (rect.width() - kGridWidth * u) / 2;
    // The grid's y grows upward from its bottom edge; Qt's grows downward from the top.
    const double bottom = rect.top() + (rect.height() + kGridHeight * u) / 2;
    std::array<QRectF, 6> placed;
    std::ranges::transform(gridRects(), placed.begin(), [&](const QRectF& r) {
        return QRectF(left + r.x() * u, bottom - (r.y() + r.height()) * u, r.width() * u, r.height() * u);
    });
    return placed;
}

void draw(QPainter& painter, const QRectF& rect, const QColor& colour)
{
    QPainterPath path;
    for (const QRectF& r : placedRects(rect))
        path.addRect(r);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path.simplified(), colour);
    painter.restore();
}

namespace {

// The largest area inside `area` where every block of the mark (all multiples of 4 units) lands
// on whole pixels, so small icons stay sharp.
QRectF crisp(const QRectF& area)
{
    const double u = std::max(std::floor(unit(area) * 4) / 4, 0.25);
    const double w = kGridWidth * u, h = kGridHeight * u;
    return QRectF(std::round(area.left() + (area.width() - w) / 2),
                  std::round(area.top() + (area.height() - h) / 2), w, h);
}

QImage transparentImage(QSize pixels, double scale)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    return image;
}

} // namespace

QImage menuBarImage(double height, double scale)
{
    const double width = std::round(height * 6 / 5);
    QImage image =
        transparentImage(QSize(int(std::ceil(width * scale)), int(std::ceil(height * scale))), scale);
    QPainter painter(&image);
    draw(painter, QRectF(0, 0, width, height), Palette::markTemplate());
    return image;
}

QImage statusImage(int size, const QColor& colour)
{
    QImage image = transparentImage(QSize(size, size), 1);
    QPainter painter(&image);
    const double margin = size >= 32 ? size / 16.0 : 0;
    draw(painter, crisp(QRectF(margin, margin, size - 2 * margin, size - 2 * margin)), colour);
    return image;
}

QImage applicationImage(int size)
{
    QImage image = transparentImage(QSize(size, size), 1);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::sheet());
    painter.drawRoundedRect(tile, size * 0.22, size * 0.22);
    const double inset = size * 0.2;
    draw(painter, crisp(tile.adjusted(inset, inset, -inset, -inset)), LogoCatGrid::Colours::fur.toQColor());
    return image;
}

QIcon trayIcon(const QColor& colour)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(statusImage(size, colour)));
    return icon;
}

} // namespace velquist::VelquistMark
