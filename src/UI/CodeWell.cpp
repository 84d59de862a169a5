#include "UI/CodeWell.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/CodeFont.h"
#include "UI/Kit/Palette.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QtMath>

namespace velquist {

namespace {

constexpr qreal kPoints = 10.5;
constexpr qreal kCornerRadius = 12;
// The start of the text that is laid out first to learn whether the well reaches its cap.
constexpr int kProbeCharacters = 1200;

} // namespace

CodeWell::CodeWell(const QString& text, bool monospaced, int heightCap, QWidget* parent)
    : QWidget(parent), m_edit(new QPlainTextEdit(this)), m_measure(new QTextDocument(this)),
      m_heightCap(heightCap)
{
    const QFont font = monospaced ? codeFont(kPoints) : AuroraStyle::font(kPoints);
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setReadOnly(true);
    m_edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    styleScrollBar(m_edit->verticalScrollBar());
    m_edit->setFont(font);
    m_edit->document()->setDocumentMargin(0);
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->setAutoFillBackground(false);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Palette::cardText());
    m_edit->setPalette(palette);
    m_edit->setPlainText(text);

    m_measure->setDocumentMargin(0);
    m_measure->setDefaultFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_measure->setDefaultTextOption(option);
    // A text's start is never taller than the whole: when the start alone reaches the cap, the
    // rest is not laid out to learn the height. Laying out a long run without a break costs time
    // that grows with the square of its length.
    m_probe = text.size() > kProbeCharacters ? text.left(kProbeCharacters) : QString();
    m_full = text;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

CodeWell::~CodeWell() = default;

void CodeWell::styleScrollBar(QScrollBar* bar)
{
    bar->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 6px; margin: 0; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 56); border-radius: 3px; min-height: "
        "20px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
}

QString CodeWell::text() const
{
    return m_edit->toPlainText();
}

bool CodeWell::scrolls() const
{
    return m_edit->verticalScrollBar()->maximum() > 0;
}

int CodeWell::contentHeight(int width) const
{
    if (width != m_measuredWidth) {
        const auto measure = [this, width](const QString& text) {
            if (&text != m_measured) {
                m_measure->setPlainText(text);
                m_measured = &text;
            }
            m_measure->setTextWidth(std::max(1, width - 2 * kPaddingX));
            // The editor's line boxes can round a pixel taller than the document's.
            return qCeil(m_measure->size().height()) + 2;
        };
        m_measuredHeight = m_probe.isEmpty() ? measure(m_full) : measure(m_probe);
        if (!m_probe.isEmpty() && m_measuredHeight + 2 * kPaddingY < m_heightCap)
            m_measuredHeight = measure(m_full);
        m_measuredWidth = width;
    }
    return m_measuredHeight;
}

int CodeWell::heightForWidth(int width) const
{
    return std::min(m_heightCap, contentHeight(width) + 2 * kPaddingY);
}

QSize CodeWell::sizeHint() const
{
    return QSize(280, heightForWidth(280));
}

QSize CodeWell::minimumSizeHint() const
{
    return QSize(60, std::min(m_heightCap, qCeil(QFontMetricsF(m_edit->font()).height()) + 2 * kPaddingY));
}

void CodeWell::resizeEvent(QResizeEvent*)
{
    // Below its cap the well is as tall as its text and shows no bar. A capped one shows its bar
    // before the editor takes its width, so the editor lays its text out once, at the width that
    // stays: showing the bar as needed would lay a long text out again after the first layout.
    const bool capped = contentHeight(width()) + 2 * kPaddingY > m_heightCap;
    m_edit->setVerticalScrollBarPolicy(capped ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_edit->setGeometry(rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY));
}

void CodeWell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AuroraStyle::wellFill());
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.setPen(QPen(AuroraStyle::wellStroke(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                            kCornerRadius - 0.5);
}

} // namespace velquist
