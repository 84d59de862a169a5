#include "UI/Kit/GlyphLabel.h"

#include "UI/Kit/Glyph.h"
#include "UI/Kit/SettingsStyle.h"

#include <QEvent>
#include <QPainter>

namespace velquist {

namespace {
constexpr int kGap = 5;
}

GlyphLabel::GlyphLabel(const QString& glyph, const QColor& glyphColour, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_glyph(glyph), m_colour(glyphColour)
{
    setTextFormat(Qt::PlainText);
    setIndent(0);
    // Its own text colour: a style sheet on the way up may have reset the inherited one.
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::primaryText());
    setPalette(palette);
    setContentsMargins(glyphSide() + kGap, 0, 0, 0);
}

int GlyphLabel::glyphSide() const
{
    return fontMetrics().ascent();
}

QSize GlyphLabel::sizeHint() const
{
    if (wordWrap())
        return QLabel::sizeHint();
    return {glyphSide() + kGap + fontMetrics().horizontalAdvance(text()) + 1, fontMetrics().height()};
}

QSize GlyphLabel::minimumSizeHint() const
{
    return wordWrap() ? QLabel::minimumSizeHint() : sizeHint();
}

void GlyphLabel::changeEvent(QEvent* event)
{
    // The glyph is as tall as the letters, so it follows the font.
    if (event->type() == QEvent::FontChange)
        setContentsMargins(glyphSide() + kGap, 0, 0, 0);
    QLabel::changeEvent(event);
}

void GlyphLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = glyphSide();
    // Beside the first line of wrapped text, which starts at the top; else centred.
    const double top =
        wordWrap() ? contentsRect().top() + (fontMetrics().height() - side) / 2.0 : (height() - side) / 2.0;
    Glyph::paint(painter, QRectF(0, top, side, side), m_glyph, m_colour);
}

} // namespace velquist
