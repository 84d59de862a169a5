#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

namespace velquist {

// The soft shadow under the open body: the shape blurred, drawn a few points lower. Blurring is done
// at a quarter of the size and the result kept for the last shape, so an animation frame that
// repeats a size costs one image draw.
class NotchShadow
{
  public:
    static constexpr qreal kRadius = 16;
    static constexpr qreal kOffsetY = 7;
    static constexpr qreal kOpacity = 0.55;

    // The blurred shadow of the body shape of `size` with these radii, at a quarter of the size and
    // with a margin around it: draw it scaled up into `target(bodyRect)`.
    const QImage& image(QSizeF size, qreal topRadius, qreal bottomRadius);
    // Where the image goes for a body at `body` (before the downward offset).
    static QRectF target(const QRectF& body);
    int blurs() const { return m_blurs; } // how many times the shadow was computed

  private:
    struct Key
    {
        int width = -1, height = -1, top = -1, bottom = -1;
        bool operator==(const Key&) const = default;
    };
    Key m_key;
    QImage m_image;
    int m_blurs = 0;
};

} // namespace velquist
