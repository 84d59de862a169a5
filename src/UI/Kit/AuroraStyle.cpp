#include "UI/Kit/AuroraStyle.h"

#include "UI/Kit/Glyph.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace velquist::AuroraStyle {
namespace {

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double toGamma(double c)
{
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

using Vec = std::array<double, 3>;

Vec oklabFromSrgb(const QColor& colour)
{
    const double r = toLinear(colour.redF()), g = toLinear(colour.greenF()), b = toLinear(colour.blueF());
    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b);
    return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
            1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
            0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

QColor srgbFromOklab(const Vec& lab)
{
    const double l = std::pow(lab[0] + 0.3963377774 * lab[1] + 0.2158037573 * lab[2], 3);
    const double m = std::pow(lab[0] - 0.1055613458 * lab[1] - 0.0638541728 * lab[2], 3);
    const double s = std::pow(lab[0] - 0.0894841775 * lab[1] - 1.2914855480 * lab[2], 3);
    const double r = 4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s;
    const double g = -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s;
    const double b = -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s;
    return QColor::fromRgbF(float(toGamma(r)), float(toGamma(g)), float(toGamma(b)));
}

qreal glyphSide(const QString& icon)
{
    return icon.isEmpty() ? 0 : kCapsuleIconPoints;
}

} // namespace

QColor mixTowardBlack(const QColor& colour, qreal fraction)
{
    const double keep = 1.0 - std::clamp(double(fraction), 0.0, 1.0);
    const Vec lab = oklabFromSrgb(colour.toRgb());
    return srgbFromOklab({lab[0] * keep, lab[1] * keep, lab[2] * keep});
}

QFont font(qreal points, QFont::Weight weight)
{
    QFont result = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    result.setFamilies({result.family(), QStringLiteral("sans-serif")});
    // Qt sizes fonts in typographic points at 96 dpi; the panel's points are device-independent
    // pixels, so the size is given in pixels' worth of points.
    result.setPointSizeF(points * 72.0 / 96.0);
    result.setWeight(weight);
    result.setStyleStrategy(QFont::PreferAntialias);
    return result;
}

QFont capsuleLabelFont()
{
    return font(kCapsuleLabelPoints, QFont::DemiBold);
}
QFont pillFont()
{
    return font(kPillPoints, QFont::Medium);
}

void addCapsule(QPainterPath& path, const QRectF& rect)
{
    const qreal radius = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, radius, radius);
}

QSizeF capsuleSize(const QString& label, const QString& icon)
{
    const QFontMetricsF metrics(capsuleLabelFont());
    const qreal glyph = glyphSide(icon);
    qreal width = metrics.horizontalAdvance(label);
    if (glyph > 0)
        width += glyph + (label.isEmpty() ? 0 : kCapsuleSpacing);
    const qreal height = std::max(metrics.height(), glyph);
    return {std::ceil(width + 2 * kCapsulePaddingX), std::ceil(height + 2 * kCapsulePaddingY)};
}

void paintCapsuleLabel(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                       const QColor& colour)
{
    const QFont labelFont = capsuleLabelFont();
    const QFontMetricsF metrics(labelFont);
    const qreal glyph = glyphSide(icon);
    const qreal textWidth = metrics.horizontalAdvance(label);
    const qreal total = textWidth + (glyph > 0 ? glyph + (label.isEmpty() ? 0 : kCapsuleSpacing) : 0);
    qreal x = rect.center().x() - total / 2;
    if (glyph > 0) {
        Glyph::paint(painter, QRectF(x, rect.center().y() - glyph / 2, glyph, glyph), icon, colour);
        x += glyph + kCapsuleSpacing;
    }
    painter.save();
    painter.setFont(labelFont);
    painter.setPen(colour);
    painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     label);
    painter.restore();
}

void paintPrimaryCapsule(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                         const QColor& signal)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    addCapsule(capsule, rect);
    painter.fillPath(capsule, signal);
    painter.restore();
    paintCapsuleLabel(painter, rect, label, icon, mixTowardBlack(signal, 0.86));
}

void paintSecondaryCapsule(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                           bool enabled)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    addCapsule(capsule, rect);
    painter.fillPath(capsule, Palette::capsuleFill());
    QPainterPath outline;
    addCapsule(outline, rect.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.strokePath(outline, QPen(Palette::capsuleStroke(), 1));
    painter.restore();
    paintCapsuleLabel(painter, rect, label, icon,
                      enabled ? Palette::capsuleLabel() : Palette::capsuleLabelDisabled());
}

QSizeF pillSize(const QString& text)
{
    const QFontMetricsF metrics(pillFont());
    return {std::ceil(metrics.horizontalAdvance(text) + 2 * kPillPaddingX),
            std::ceil(metrics.height() + 2 * kPillPaddingY)};
}

void paintMetaPill(QPainter& painter, const QRectF& rect, const QString& text, const QColor& fill,
                   const QColor& textColour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath capsule;
    addCapsule(capsule, rect);
    painter.fillPath(capsule, fill);
    painter.setFont(pillFont());
    painter.setPen(textColour);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

} // namespace velquist::AuroraStyle
