#include "UI/UsageStrip.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewClock.h"
#include "UI/UsageGauge.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <cmath>

namespace velquist {
namespace {

QFont providerFont()
{
    return AuroraStyle::font(9.5, QFont::DemiBold);
}
QFont gaugeFont()
{
    return AuroraStyle::font(9.5, QFont::Medium);
}
QFont resetFont()
{
    return AuroraStyle::font(8.5, QFont::Medium);
}

QString providerLabel(const UsageReading& reading)
{
    return QString::fromUtf8(displayName(reading.provider).data(),
                             qsizetype(displayName(reading.provider).size()));
}

QColor providerColour()
{
    QColor colour = AuroraStyle::secondary();
    colour.setAlphaF(colour.alphaF() * 0.7f);
    return colour;
}

// The widths of a gauge's label and percentage.
struct GaugeParts
{
    qreal label;
    qreal percent;
    qreal total() const
    {
        return label + UsageStrip::kGaugeSpacing + UsageStrip::kBarWidth + UsageStrip::kGaugeSpacing +
               percent;
    }
};

GaugeParts measure(const QuotaWindow& window)
{
    const QFontMetricsF metrics(gaugeFont());
    return {metrics.horizontalAdvance(UsageStrip::gaugeLabel(window)),
            metrics.horizontalAdvance(UsageStrip::percentText(window.usagePercent))};
}

} // namespace

UsageStrip::UsageStrip(const UsageReading& reading, QWidget* parent, const Clock* clock)
    : QWidget(parent), m_reading(reading), m_clock(viewClock(clock))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void UsageStrip::setReading(const UsageReading& reading)
{
    if (reading == m_reading)
        return;
    m_reading = reading;
    updateGeometry();
    update();
}

bool UsageStrip::shows(const UsageReading& reading)
{
    return reading.isEnabled && reading.quota && !reading.quota->windows.empty();
}

std::vector<QuotaWindow> UsageStrip::displayWindows(const QuotaData& quota)
{
    std::vector<QuotaWindow> result;
    for (const char* id : {"session", "weekly"})
        if (auto window = quota.window(id))
            result.push_back(*window);
    for (const QuotaWindow& window : quota.windows)
        if (window.id != "session" && window.id != "weekly")
            result.push_back(window);
    if (result.size() > 3)
        result.resize(3);
    return result;
}

QString UsageStrip::gaugeLabel(const QuotaWindow& window)
{
    if (window.id == "session")
        return QStringLiteral("5h");
    if (window.id == "weekly")
        return QStringLiteral("week");
    QString label = QString::fromStdString(window.displayName);
    label.remove(QStringLiteral(" Weekly"));
    label.remove(QStringLiteral("Weekly "));
    return label;
}

QString UsageStrip::percentText(double percent)
{
    return QString::number(UsageGauge::roundedPercent(percent)) + '%';
}

std::vector<QRectF> UsageStrip::gaugeRects() const
{
    std::vector<QRectF> rects;
    if (!shows(m_reading))
        return rects;
    qreal x =
        kPaddingX + QFontMetricsF(providerFont()).horizontalAdvance(providerLabel(m_reading)) + kSpacing;
    for (const QuotaWindow& window : displayWindows(*m_reading.quota)) {
        const qreal width = measure(window).total();
        rects.emplace_back(x, 0, width, height());
        x += width + kSpacing;
    }
    return rects;
}

QSize UsageStrip::sizeHint() const
{
    if (!shows(m_reading))
        return QSize(0, 0);
    qreal width = kPaddingX + QFontMetricsF(providerFont()).horizontalAdvance(providerLabel(m_reading));
    for (const QuotaWindow& window : displayWindows(*m_reading.quota))
        width += kSpacing + measure(window).total();
    width += kPaddingX;
    const qreal line = std::max(kBarHeight, QFontMetricsF(gaugeFont()).height());
    return QSize(int(std::ceil(width)), int(std::ceil(line + 2 * kPaddingY)));
}

void UsageStrip::paintEvent(QPaintEvent*)
{
    if (!shows(m_reading))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QString provider = providerLabel(m_reading);
    painter.setFont(providerFont());
    painter.setPen(providerColour());
    painter.drawText(QRectF(kPaddingX, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, provider);

    const auto windows = displayWindows(*m_reading.quota);
    const auto rects = gaugeRects();
    for (std::size_t index = 0; index < windows.size(); ++index) {
        const QuotaWindow& window = windows[index];
        const GaugeParts parts = measure(window);
        qreal x = rects[index].left();
        painter.setFont(gaugeFont());
        painter.setPen(AuroraStyle::secondary());
        painter.drawText(QRectF(x, 0, parts.label + 1, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         gaugeLabel(window));
        x += parts.label + kGaugeSpacing;

        const QRectF bar(x, (height() - kBarHeight) / 2, kBarWidth, kBarHeight);
        QPainterPath track;
        track.addRoundedRect(bar, 4, 4);
        painter.save();
        painter.setClipPath(track);
        painter.fillRect(bar, Palette::usageBarTrack());
        painter.fillRect(
            QRectF(bar.topLeft(),
                   QSizeF(UsageGauge::fillFraction(window.usagePercent) * kBarWidth, kBarHeight)),
            UsageGauge::fillColour(window.usagePercent));
        painter.restore();
        if (const auto remaining = window.timeRemaining(m_clock.now())) {
            painter.setFont(resetFont());
            painter.setPen(Palette::usageBarText());
            painter.drawText(bar, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(*remaining));
        }
        x += kBarWidth + kGaugeSpacing;

        painter.setFont(gaugeFont());
        painter.setPen(AuroraStyle::secondary());
        painter.drawText(QRectF(x, 0, parts.percent + 1, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         percentText(window.usagePercent));
    }
}

bool UsageStrip::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && shows(m_reading)) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto windows = displayWindows(*m_reading.quota);
        const auto rects = gaugeRects();
        for (std::size_t index = 0; index < rects.size(); ++index)
            if (rects[index].contains(help->pos())) {
                QToolTip::showText(help->globalPos(), UsageGauge::tooltip(windows[index], m_clock.now()),
                                   this);
                return true;
            }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

} // namespace velquist
