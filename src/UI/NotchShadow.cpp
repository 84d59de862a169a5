#include "UI/NotchShadow.h"

#include "UI/NotchShape.h"

#include <QPainter>

#include <cmath>
#include <vector>

namespace velquist {
namespace {

constexpr int kScale = 4;

// Three box blurs in a row approximate a Gaussian; only the alpha channel carries the shadow.
void boxBlurAlpha(QImage& image, int radius)
{
    if (radius < 1)
        return;
    const int w = image.width(), h = image.height();
    std::vector<int> line(std::size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w, inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto alphaAt = [&](int i) -> uchar& {
                const int x = horizontal ? i : o, y = horizontal ? o : i;
                return reinterpret_cast<uchar*>(image.scanLine(y))[x * 4 + 3];
            };
            for (int i = 0; i < inner; ++i)
                line[std::size_t(i)] = alphaAt(i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < inner) ? line[std::size_t(i)] : 0;
            for (int i = 0; i < inner; ++i) {
                alphaAt(i) = uchar(sum / (2 * radius + 1));
                const int leaving = i - radius, entering = i + radius + 1;
                if (leaving >= 0)
                    sum -= line[std::size_t(leaving)];
                if (entering < inner)
                    sum += line[std::size_t(entering)];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

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
        painter.fillPath(NotchShape::path(QRectF(QPointF(0, 0), size), topRadius, bottomRadius), Qt::black);
    }
    // A box blur of r repeated three times spreads about 1.7 r, the shadow's radius.
    boxBlurAlpha(small, int(std::round(kRadius / kScale / 1.7)));
    m_image = small;
    ++m_blurs;
    return m_image;
}

} // namespace velquist
