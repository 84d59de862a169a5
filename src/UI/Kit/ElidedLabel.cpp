#include "UI/Kit/ElidedLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QtMath>

namespace velquist {

namespace {

QStringList wrap(const QString& text, const QFont& font, qreal width)
{
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

} // namespace

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, const QColor& colour, int maxLines,
                         QWidget* parent)
    : QLabel(parent), m_fullText(text), m_maxLines(std::max(1, maxLines))
{
    setTextFormat(Qt::PlainText);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    setPalette(palette);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setText(m_fullText);
}

QStringList ElidedLabel::layoutLines(const QString& text, const QFont& font, qreal width, int maxLines,
                                     Qt::TextElideMode mode)
{
    if (text.isEmpty() || width <= 0)
        return {text};
    QStringList lines = wrap(text, font, width);
    if (lines.size() <= maxLines)
        return lines;
    const QFontMetricsF metrics(font);
    // Shorten until the middle-cut text wraps into the lines allowed; each round takes a little
    // more, and a one-line budget always fits.
    qreal budget = width * maxLines - metrics.averageCharWidth() * 2;
    for (int round = 0; round < 12 && budget > 0; ++round) {
        const QString shortened = metrics.elidedText(text, mode, budget);
        lines = wrap(shortened, font, width);
        if (lines.size() <= maxLines)
            return lines;
        budget -= width * 0.08;
    }
    return {metrics.elidedText(text, mode, width)};
}

void ElidedLabel::setFullText(const QString& text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    relayout(width());
    updateGeometry();
}

void ElidedLabel::setMaxLines(int maxLines)
{
    maxLines = std::max(1, maxLines);
    if (maxLines == m_maxLines)
        return;
    m_maxLines = maxLines;
    relayout(width());
    updateGeometry();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    relayout(width());
}

void ElidedLabel::setSelectable(bool selectable)
{
    setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal natural = std::min<qreal>(metrics.horizontalAdvance(m_fullText.left(400)), 360);
    return QSize(qCeil(natural) + 1, heightForWidth(qCeil(natural) + 1));
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(24, qCeil(QFontMetricsF(font()).height()));
}

const QStringList& ElidedLabel::linesAt(int width) const
{
    for (const std::size_t slot : {m_newest, 1 - m_newest}) {
        const Lines& kept = m_lines[slot];
        if (kept.width == width && kept.maxLines == m_maxLines && kept.mode == m_mode &&
            kept.text == m_fullText && kept.font == font()) {
            m_newest = slot;
            return kept.lines;
        }
    }
    m_newest = 1 - m_newest;
    m_lines[m_newest] = Lines{m_fullText, font(), width,
                              m_maxLines, m_mode, layoutLines(m_fullText, font(), width, m_maxLines, m_mode)};
    return m_lines[m_newest].lines;
}

int ElidedLabel::heightForWidth(int width) const
{
    const int lines = int(linesAt(width).size());
    return qCeil(QFontMetricsF(font()).lineSpacing() * lines);
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    relayout(width());
}

void ElidedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // The lines shown were cut for the old font. Nothing is shown yet while the constructor sets
    // the first font.
    if (event->type() == QEvent::FontChange && !text().isEmpty())
        relayout(width());
}

void ElidedLabel::relayout(int width)
{
    const QString shown = linesAt(width).join(QChar(u'\n'));
    if (shown != text())
        setText(shown);
}

} // namespace velquist
