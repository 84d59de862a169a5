#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;
class QPainterPath;

namespace velquist {

// The panel's look: named colours, the type scale and the painters of the shared capsule controls.
// Sizes are in points; one point is one device-independent pixel.
namespace AuroraStyle {

// --- colours -----------------------------------------------------------------------------------
inline QColor white(qreal opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}
inline QColor black(qreal opacity)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}
inline QColor rgb(qreal r, qreal g, qreal b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}

inline QColor sheet()
{
    return rgb(0.02, 0.02, 0.039);
} // the sheet's backdrop
inline QColor cardFill()
{
    return white(0.045);
}
inline QColor cardStroke()
{
    return white(0.08);
}
inline QColor pipCollar()
{
    return white(0.1);
} // ring around a session mark's status pip
inline QColor secondary()
{
    return white(0.55);
} // secondary texts and icons
inline QColor sectionLabel()
{
    return white(0.42);
}
inline QColor pillFill()
{
    return white(0.07);
}
inline QColor pillText()
{
    return white(0.58);
}
inline QColor wellFill()
{
    return black(0.34);
} // recessed wells
inline QColor wellStroke()
{
    return white(0.07);
}
inline QColor optionFill()
{
    return white(0.05);
}
inline QColor optionStroke()
{
    return white(0.07);
}

// The desktop's own accents, as the panel uses them for states.
inline QColor systemGreen()
{
    return rgb(0.204, 0.780, 0.349);
}
inline QColor systemOrange()
{
    return rgb(1.0, 0.584, 0.0);
}
inline QColor systemRed()
{
    return rgb(1.0, 0.231, 0.188);
}
inline QColor systemBlue()
{
    return rgb(0.0, 0.478, 1.0);
}

// Gauge thresholds shared by the context and usage gauges: green, amber, red.
inline QColor gaugeGreen()
{
    return rgb(0.36, 0.82, 0.55);
}
inline QColor gaugeAmber()
{
    return rgb(1.0, 0.72, 0.28);
}
inline QColor gaugeRed()
{
    return rgb(1.0, 0.42, 0.28);
}

// `colour` mixed `fraction` of the way toward black in the Oklab space, keeping its hue: the dark
// label colour on a bright capsule. The result is opaque.
QColor mixTowardBlack(const QColor& colour, qreal fraction);

// --- type --------------------------------------------------------------------------------------
// The desktop's sans-serif face at `points` and `weight`. (The desktop faces set their digits on one
// width, so counters do not jitter.)
QFont font(qreal points, QFont::Weight weight = QFont::Normal);

// --- capsule controls --------------------------------------------------------------------------
inline constexpr qreal kCapsulePaddingX = 14;
inline constexpr qreal kCapsulePaddingY = 6;
inline constexpr qreal kCapsuleSpacing = 5;
inline constexpr qreal kCapsuleIconPoints = 9;
inline constexpr qreal kCapsuleLabelPoints = 10.5;
inline constexpr qreal kPillPaddingX = 9;
inline constexpr qreal kPillPaddingY = 3;
inline constexpr qreal kPillPoints = 9.5;

QFont capsuleLabelFont();
QFont pillFont();

// The size of a capsule with this label and glyph (an empty icon name leaves the glyph out).
QSizeF capsuleSize(const QString& label, const QString& icon);
// A capsule's glyph and label, centred in `rect` in `colour`.
void paintCapsuleLabel(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                       const QColor& colour);
// Dark label on a capsule filled with `signal`.
void paintPrimaryCapsule(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                         const QColor& signal);
// Light label (dimmed when disabled) on a faint capsule with a hairline outline.
void paintSecondaryCapsule(QPainter& painter, const QRectF& rect, const QString& label, const QString& icon,
                           bool enabled);

QSizeF pillSize(const QString& text);
// A small caption on a filled capsule; takes no input.
void paintMetaPill(QPainter& painter, const QRectF& rect, const QString& text, const QColor& fill,
                   const QColor& textColour);

// A capsule (fully rounded rectangle) path inside `rect`.
void addCapsule(QPainterPath& path, const QRectF& rect);

} // namespace AuroraStyle
} // namespace velquist
