#pragma once

#include <QColor>
#include <QPainterPath>
#include <QString>

class QPainter;

namespace velquist {

// The agents' marks: single-colour shapes of our own, one per brand name ("brand-claude",
// "brand-codex", "brand-cursor", "brand-gemini", "brand-qwen", "brand-opencode", "brand-unknown"),
// tinted by whoever draws them.
namespace BrandGlyph {

bool exists(const QString& asset);
// The mark as a fill path in a square of `side` at the origin; empty for an unknown name.
QPainterPath path(const QString& asset, qreal side);

} // namespace BrandGlyph
} // namespace velquist
