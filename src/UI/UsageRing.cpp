#include "UI/UsageRing.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/GaugeRing.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewClock.h"
#include "UI/UsageGauge.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velquist {

UsageRing::UsageRing(const UsageReading& reading, qreal barHeight, QWidget* parent, const Clock* clock)
    : QWidget(parent), m_reading(reading), m_barHeight(barHeight), m_clock(viewClock(clock))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    refreshTooltip();
}

void UsageRing::setReading(const UsageReading& reading)
{
    if (reading == m_reading)
        return;
    const bool wasShown = window(m_reading).has_value();
    m_reading = reading;
    if (wasShown != window(m_reading).has_value())
        updateGeometry();
    refreshTooltip();
    update();
}

void UsageRing::setBarHeight(qreal barHeight)
{
    if (barHeight == m_barHeight)
        return;
    m_barHeight = barHeight;
    updateGeometry();
    update();
}

std::optional<QuotaWindow> UsageRing::window(const UsageReading& reading)
{
    if (!reading.isEnabled || !reading.quota)
        return std::nullopt;
    if (auto session = reading.quota->window("session"))
        return session;
    return reading.quota->mostUsed();
}

qreal UsageRing::ringSize(qreal barHeight)
{
    return std::min(std::max(barHeight - 6, 14.0), 20.0);
}

qreal UsageRing::numberPoints(qreal ringSize)
{
    return std::max(0.4 * ringSize, 7.0);
}

QString UsageRing::numberText(double percent)
{
    return QString::number(UsageGauge::flooredPercent(percent));
}

QSize UsageRing::sizeHint() const
{
    if (!window(m_reading))
        return QSize(0, 0);
    const int side = int(std::ceil(ringSize(m_barHeight)));
    return QSize(side, side);
}

void UsageRing::refreshTooltip()
{
    const auto shown = window(m_reading);
    setToolTip(shown ? UsageGauge::tooltip(*shown, m_clock.now()) : QString());
}

void UsageRing::paintEvent(QPaintEvent*)
{
    const auto shown = window(m_reading);
    if (!shown)
        return;
    const qreal side = ringSize(m_barHeight);
    const QRectF box((width() - side) / 2, (height() - side) / 2, side, side);
    QPainter painter(this);
    GaugeRing::paint(painter, box, UsageGauge::fillFraction(shown->usagePercent),
                     UsageGauge::ringColour(shown->usagePercent));
    painter.setFont(AuroraStyle::font(numberPoints(side), QFont::DemiBold));
    painter.setPen(Palette::ringNumber());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, numberText(shown->usagePercent));
}

} // namespace velquist
