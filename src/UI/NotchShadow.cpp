#include "UI/NotchShadow.h"

#include "UI/Kit/AlphaBlur.h"
#include "UI/Kit/Palette.h"
#include "UI/NotchShape.h"

#include <QPainter>

#include <cmath>
#include <vector>

namespace velquist {
namespace {

constexpr int kScale = 4;

} // namespace

QRectF NotchShadow::target(const QRectF& body)
{
    const qreal margin = kRadius * 2;
    return body.adjusted(-margin, -margin, margin, margin);
}

const QImage& NotchShadow::image(QSizeF size, qreal topRadius, qreal bottomRadius)
{
    // Half-point steps: finer changes do not show in a blurred quarter-size image.
    const Key key{int(std::lround(size.width() * 2)), int(std::lround(size.height() * 2)),
                  int(std::lround(topRadius * 2)), int(std::lround(bottomRadius * 2))};
    if (key == m_key && !m_image.isNull())
        return m_image;
    m_key = key;
    const QRectF canvas = target(QRectF(QPointF(0, 0), size));
    QImage small(QSize(int(std::ceil(canvas.width() / kScale)), int(std::ceil(canvas.height() / kScale)))
                     .expandedTo(QSize(1, 1)),
                 QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::transparent);
    {
        QPainter painter(&small);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(small.width()) / canvas.width(), qreal(small.height()) / canvas.height());
        painter.translate(-canvas.topLeft());
        painter.fillPath(NotchShape::path(QRectF(QPointF(0, 0), size), topRadius, bottomRadius),
                         Palette::notch());
    }
    // A box blur of r repeated three times spreads about 1.7 r, the shadow's radius.
    boxBlurAlpha(small, int(std::round(kRadius / kScale / 1.7)));
    m_image = small;
    ++m_blurs;
    return m_image;
}

} // namespace velquist
