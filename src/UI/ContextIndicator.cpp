#include "UI/ContextIndicator.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/GaugeRing.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velquist {
namespace {
QFont textFont()
{
    return AuroraStyle::font(ContextIndicator::kTextPoints, QFont::Medium);
}
QString label(const ContextUsage& usage)
{
    return QString::fromStdString(usage.percentLabel());
}
} // namespace

ContextIndicator::ContextIndicator(const ContextUsage& usage, QWidget* parent)
    : QWidget(parent), m_usage(usage)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(tooltip(usage));
}

void ContextIndicator::setUsage(const ContextUsage& usage)
{
    if (usage == m_usage)
        return;
    m_usage = usage;
    setToolTip(tooltip(usage));
    updateGeometry();
    update();
}

double ContextIndicator::fraction(const ContextUsage& usage)
{
    return usage.limit < 1 ? 0.0 : double(usage.tokens) / double(usage.limit);
}

QColor ContextIndicator::gaugeColour(const ContextUsage& usage)
{
    const double f = fraction(usage);
    if (usage.limit < 1 || f < 0.7)
        return AuroraStyle::gaugeGreen();
    return f < 0.9 ? AuroraStyle::gaugeAmber() : AuroraStyle::gaugeRed();
}

double ContextIndicator::arcFraction(const ContextUsage& usage)
{
    return GaugeRing::arcFraction(usage.limit >= 1 ? fraction(usage) : 0.0);
}

QColor ContextIndicator::textColour(const ContextUsage& usage)
{
    if (usage.limit >= 1 && fraction(usage) >= 0.7)
        return gaugeColour(usage);
    return Palette::textFaint();
}

QString ContextIndicator::tooltip(const ContextUsage& usage)
{
    return QStringLiteral("Context: %1 / %2")
        .arg(QString::fromStdString(ContextUsage::compact(usage.tokens)),
             QString::fromStdString(ContextUsage::compact(usage.limit)));
}

QSize ContextIndicator::sizeHint() const
{
    const QFontMetricsF metrics(textFont());
    return QSize(int(std::ceil(kRingSize + kSpacing + metrics.horizontalAdvance(label(m_usage)))),
                 int(std::ceil(std::max(kRingSize, metrics.height()))));
}

void ContextIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF ring(0, (height() - kRingSize) / 2, kRingSize, kRingSize);
    GaugeRing::paint(painter, ring, arcFraction(m_usage), gaugeColour(m_usage));
    painter.setFont(textFont());
    painter.setPen(textColour(m_usage));
    painter.drawText(QRectF(kRingSize + kSpacing, 0, width() - kRingSize - kSpacing, height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label(m_usage));
}

} // namespace velquist
