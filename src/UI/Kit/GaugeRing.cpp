#include "UI/Kit/GaugeRing.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velquist::GaugeRing {

qreal arcFraction(double fraction)
{
    if (std::isnan(fraction))
        return kMinimumArc;
    return std::max(std::min(fraction, 1.0), kMinimumArc);
}

void paint(QPainter& painter, const QRectF& rect, double fraction, const QColor& colour)
{
    const qreal inset = kLineWidth / 2;
    const QRectF circle = rect.adjusted(inset, inset, -inset, -inset);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Palette::trackLine(), kLineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawEllipse(circle);
    // Qt measures angles counter-clockwise from three o'clock in 1/16 degree.
    const int span = -qRound(arcFraction(fraction) * 360 * 16);
    painter.setPen(QPen(colour, kLineWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, 90 * 16, span);
    painter.restore();
}

} // namespace velquist::GaugeRing
