#include "UI/WrappedLabel.h"

namespace velquist {

WrappedLabel::WrappedLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(font);
    setWordWrap(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    setPalette(palette);
}

void WrappedLabel::follow() const
{
    if (m_text == text() && m_font == font())
        return;
    m_text = text();
    m_font = font();
    m_hint = QSize();
    m_minimum = QSize();
    m_heights.fill(Height{});
}

QSize WrappedLabel::sizeHint() const
{
    follow();
    if (!m_hint.isValid())
        m_hint = QLabel::sizeHint();
    return m_hint;
}

QSize WrappedLabel::minimumSizeHint() const
{
    follow();
    if (!m_minimum.isValid())
        m_minimum = QLabel::minimumSizeHint();
    return m_minimum;
}

int WrappedLabel::heightForWidth(int width) const
{
    follow();
    for (const Height& kept : m_heights) {
        if (kept.width == width)
            return kept.height;
    }
    const int height = QLabel::heightForWidth(width);
    m_heights[m_next] = Height{width, height};
    m_next = (m_next + 1) % m_heights.size();
    return height;
}

} // namespace velquist
