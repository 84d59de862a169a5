#include "UI/UsageGauge.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

#include <algorithm>
#include <cmath>

namespace velquist::UsageGauge {

double sanePercent(double percent)
{
    if (std::isnan(percent))
        return 0;
    return std::clamp(percent, 0.0, 999.0);
}

double fillFraction(double percent)
{
    return std::min(sanePercent(percent) / 100.0, 1.0);
}

long long roundedPercent(double percent)
{
    return std::llround(sanePercent(percent));
}

long long flooredPercent(double percent)
{
    return static_cast<long long>(std::floor(sanePercent(percent)));
}

QString tooltip(const QuotaWindow& window, Clock::WallTime now)
{
    QString text = QStringLiteral("%1: %2% used")
                       .arg(QString::fromStdString(window.displayName))
                       .arg(roundedPercent(window.usagePercent));
    if (const auto remaining = window.timeRemaining(now))
        text += QStringLiteral(", resets in ") + QString::fromStdString(*remaining);
    return text;
}

QColor ringColour(double percent)
{
    const double p = sanePercent(percent);
    if (p < 70)
        return AuroraStyle::gaugeGreen();
    return p < 90 ? AuroraStyle::gaugeAmber() : AuroraStyle::gaugeRed();
}

QColor fillColour(double percent)
{
    const double p = sanePercent(percent);
    if (p < 70)
        return Palette::usageBarLow();
    return p < 90 ? AuroraStyle::systemOrange() : AuroraStyle::systemRed();
}

} // namespace velquist::UsageGauge
