#include "UI/AgentBadge.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace velquist::AgentBadge {
namespace {
QFont badgeFont()
{
    return AuroraStyle::font(8, QFont::Bold);
}
} // namespace

QString text(int count)
{
    if (count < 1)
        return {};
    return count < 10 ? QString::number(count) : QStringLiteral("9+");
}

QSizeF size(int count)
{
    if (count < 1)
        return {};
    const QFontMetricsF metrics(badgeFont());
    return {std::max(11.0, metrics.horizontalAdvance(text(count)) + 4), std::max(11.0, metrics.height())};
}

void paint(QPainter& painter, const QRectF& rect, int count)
{
    if (count < 1)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    AuroraStyle::addCapsule(capsule, rect);
    painter.fillPath(capsule, Palette::badgeFill());
    painter.strokePath(capsule, QPen(Palette::badgeOutline(), 1.5));
    painter.setFont(badgeFont());
    painter.setPen(Palette::textBright());
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text(count));
    painter.restore();
}

} // namespace velquist::AgentBadge
