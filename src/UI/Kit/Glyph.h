#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace velquist {

// The panel's small symbols, drawn as our own vector shapes and named by what they show
// ("checkmark", "xmark", "chevron.down", "arrow.right.circle.fill", "moon.fill", "eye.slash", ...).
// A ".fill" name is a solid shape with the inner mark cut out, so the backdrop shows through.
namespace Glyph {

// Whether a glyph of this name exists.
bool exists(const QString& name);
// Every glyph's name, in name order.
QStringList names();
// The glyph as a fill path in a square of `side` points at the origin; `bold` thickens its strokes.
// Empty for an unknown name.
QPainterPath path(const QString& name, qreal side, bool bold = true);
// Draws the glyph centred in `box`, as large as the box's shorter side, in `colour`.
void paint(QPainter& painter, const QRectF& box, const QString& name, const QColor& colour, bool bold = true);

} // namespace Glyph
} // namespace velquist
