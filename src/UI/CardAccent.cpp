#include "UI/CardAccent.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace velquist {

namespace {

// 1 January 2001 UTC, the epoch of the breathing phase.
constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

QColor withOpacity(QColor colour, double opacity)
{
    colour.setAlphaF(float(std::clamp(colour.alphaF() * opacity, 0.0, 1.0)));
    return colour;
}

QPainterPath cardShape(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A 1 pt line drawn inside the shape's bounds.
void strokeInside(QPainter& painter, const QRectF& card, const QColor& colour)
{
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    const qreal r = CardAccent::kCornerRadius - 0.5;
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), r, r);
}

} // namespace

double CardAccent::breathingLevel(Clock::WallTime now)
{
    using namespace std::chrono;
    const double t = duration<double>(now.time_since_epoch()).count() - double(kReferenceDateUnixSeconds);
    double phase = std::fmod(t, kBreathPeriodSeconds);
    if (phase < 0)
        phase += kBreathPeriodSeconds;
    return 0.5 + 0.25 * (1.0 - std::cos(2.0 * std::numbers::pi * phase / kBreathPeriodSeconds));
}

void CardAccent::paintBehind(QPainter& painter, const QRectF& card, double level) const
{
    paintGlow(painter, card, level);
    paintTint(painter, card, level);
}

void CardAccent::paintOutline(QPainter& painter, const QRectF& card, double level) const
{
    paintPlainOutline(painter, card);
    paintColourOutline(painter, card, level);
}

void CardAccent::paintGlow(QPainter& painter, const QRectF& card, double level) const
{
    if (!color)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The glow: rings fading outward to the glow radius, a shadow centred on the card.
    const QColor glow = withOpacity(*color, level * 0.18);
    constexpr int kRings = 8;
    painter.setBrush(Qt::NoBrush);
    for (int i = kRings; i >= 1; --i) {
        const qreal spread = kGlowRadius * i / kRings;
        const double falloff = std::pow(1.0 - double(i - 1) / kRings, 2.0);
        painter.setPen(QPen(withOpacity(glow, falloff * 0.55), kGlowRadius / kRings + 0.5));
        const QRectF ring = card.adjusted(-spread, -spread, spread, spread);
        painter.drawRoundedRect(ring, kCornerRadius + spread, kCornerRadius + spread);
    }
    painter.restore();
}

void CardAccent::paintTint(QPainter& painter, const QRectF& card, double level) const
{
    if (!color)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(*color, level * 0.05));
    painter.drawPath(cardShape(card, kCornerRadius));
    painter.restore();
}

void CardAccent::paintPlainOutline(QPainter& painter, const QRectF& card)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    strokeInside(painter, card, AuroraStyle::cardStroke());
    painter.restore();
}

void CardAccent::paintColourOutline(QPainter& painter, const QRectF& card, double level) const
{
    if (!color)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    strokeInside(painter, card, withOpacity(*color, level * 0.42));
    painter.restore();
}

} // namespace velquist
