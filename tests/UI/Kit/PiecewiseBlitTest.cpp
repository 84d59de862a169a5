#include "UI/Kit/PiecewiseBlit.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

// A picture whose every pixel differs from its neighbours, translucent in part, so a piece drawn
// from the wrong place or a strip drawn twice shows.
QPixmap picture(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(
                x, y, qPremultiply(qRgba((x * 7) % 256, (y * 5) % 256, (x + y) % 256, 80 + (x * y) % 176)));
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QImage canvas(QSize size, qreal ratio)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(qRgb(20, 40, 60));
    return image;
}

} // namespace

// The pieces land where drawing the whole picture under the same clip would put them: at whole
// and fractional densities, with opacity, for a region of tall and short parts, one of them
// reaching past the picture.
TEST(PiecewiseBlit, DrawsWhatTheWholePictureDrawsUnderTheRegion)
{
    const QSize size(90, 260);
    QRegion region(QRect(0, 0, 90, 4));
    region += QRect(0, 4, 6, 250);
    region += QRect(80, 4, 30, 250);
    region += QRect(10, 100, 20, 7);
    region += QRect(0, 254, 90, 20);
    for (const qreal ratio : {1.0, 2.0, 1.5}) {
        for (const qreal opacity : {1.0, 0.37}) {
            const QPixmap source = picture(size, ratio);
            QImage whole = canvas(size, ratio);
            QImage pieces = canvas(size, ratio);
            {
                QPainter painter(&whole);
                painter.setClipRegion(region);
                painter.setOpacity(opacity);
                painter.drawPixmap(0, 0, source);
            }
            {
                QPainter painter(&pieces);
                painter.setClipRegion(region);
                painter.setOpacity(opacity);
                drawPiecewise(painter, region, source);
            }
            EXPECT_EQ(whole, pieces) << "ratio " << ratio << ", opacity " << opacity;
        }
    }
}
