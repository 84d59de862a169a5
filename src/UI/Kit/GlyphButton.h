#pragma once

#include <QIcon>
#include <QToolButton>

namespace velquist {

// A borderless button that shows only a style-kit glyph (a preview's "play.circle", a remove
// button's "trash"); its help text is both its tooltip and its accessible name. Dimmed while
// disabled.
class GlyphButton final : public QToolButton
{
  public:
    GlyphButton(const QString& glyph, const QString& help, QWidget* parent = nullptr);

    // The glyph as an icon in `colour`, with a dimmed form for the disabled state.
    static QIcon icon(const QString& glyph, const QColor& colour);
};

} // namespace velquist
