#pragma once

#include "UI/Kit/Palette.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;
class QPainterPath;

namespace velquist {

// The panel's look: its colours from the palette, the type scale and the painters of the shared capsule
// controls. Sizes are in points; one point is one device-independent pixel.
namespace AuroraStyle {

// --- colours -----------------------------------------------------------------------------------
// The panel's names for the palette's colours (see Palette for what each colours).
inline QColor sheet()
{
    return Palette::sheet();
}
inline QColor cardFill()
{
    return Palette::cardFill();
}
inline QColor cardStroke()
{
    return Palette::cardStroke();
}
inline QColor pipCollar()
{
    return Palette::pipCollar();
}
inline QColor secondary()
{
    return Palette::secondary();
}
inline QColor sectionLabel()
{
    return Palette::sectionLabel();
}
inline QColor pillFill()
{
    return Palette::pillFill();
}
inline QColor pillText()
{
    return Palette::pillText();
}
inline QColor wellFill()
{
    return Palette::wellFill();
}
inline QColor wellStroke()
{
    return Palette::wellStroke();
}
inline QColor optionFill()
{
    return Palette::optionFill();
}
inline QColor optionStroke()
{
    return Palette::optionStroke();
}
inline QColor systemGreen()
{
    return Palette::systemGreen();
}
inline QColor systemOrange()
{
    return Palette::systemOrange();
}
inline QColor systemRed()
{
    return Palette::systemRed();
}
inline QColor systemBlue()
{
    return Palette::systemBlue();
}
inline QColor gaugeGreen()
{
    return Palette::gaugeGreen();
}
inline QColor gaugeAmber()
{
    return Palette::gaugeAmber();
}
inline QColor gaugeRed()
{
    return Palette::gaugeRed();
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
