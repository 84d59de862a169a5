#include "UI/Kit/StatusPip.h"

#include <QPainter>

namespace velquist::StatusPip {

void paint(QPainter& painter, const QRectF& rect, const QColor& color, const QColor& collar)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(collar);
    painter.drawEllipse(rect);
    painter.setBrush(color);
    painter.drawEllipse(rect.adjusted(kCollarWidth, kCollarWidth, -kCollarWidth, -kCollarWidth));
    painter.restore();
}

} // namespace velquist::StatusPip
