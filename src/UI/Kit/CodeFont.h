#pragma once

#include <QFont>
#include <QFontDatabase>

namespace velquist {

// The desktop's fixed-width face at `points` (device-independent pixels, as every panel size),
// for commands, diffs and code.
inline QFont codeFont(qreal points, QFont::Weight weight = QFont::Normal)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({font.family(), QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points * 72.0 / 96.0);
    font.setWeight(weight);
    return font;
}

} // namespace velquist
