#pragma once

#include <QColor>
#include <QLabel>

namespace velquist {

// A line of plain text in the primary colour, led by a glyph ("checkmark.circle.fill" in green for a state
// that is fine, say). The text is the label's text, so it is also what assistive tools read.
class GlyphLabel final : public QLabel
{
  public:
    GlyphLabel(const QString& glyph, const QColor& glyphColour, const QString& text,
               QWidget* parent = nullptr);

    // One line wide; a wrapping label takes QLabel's wrapped sizes instead.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int glyphSide() const;

    QString m_glyph;
    QColor m_colour;
};

} // namespace velquist
