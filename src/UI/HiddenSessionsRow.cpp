#include "UI/HiddenSessionsRow.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velquist {
namespace {
QFont labelFont()
{
    return AuroraStyle::font(11.5);
}
constexpr qreal kPaddingX = 15, kPaddingY = 5, kGlyphFrame = 20, kGlyphSide = 11, kSpacing = 11;
} // namespace

HiddenSessionsRow::HiddenSessionsRow(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The text is what assistive technology reads; the row paints it itself.
    setText(label(m_hiddenCount, m_reveals));
}

void HiddenSessionsRow::setState(int hiddenCount, bool revealsHidden)
{
    if (hiddenCount == m_hiddenCount && revealsHidden == m_reveals)
        return;
    m_hiddenCount = hiddenCount;
    m_reveals = revealsHidden;
    setText(label(m_hiddenCount, m_reveals));
    updateGeometry();
    update();
}

QString HiddenSessionsRow::label(int hiddenCount, bool revealsHidden)
{
    if (revealsHidden)
        return QStringLiteral("Showing hidden sessions");
    return QStringLiteral("%1 hidden session%2").arg(hiddenCount).arg(hiddenCount == 1 ? "" : "s");
}

QSize HiddenSessionsRow::sizeHint() const
{
    const QFontMetricsF metrics(labelFont());
    return QSize(int(std::ceil(2 * kPaddingX + kGlyphFrame + kSpacing +
                               metrics.horizontalAdvance(label(m_hiddenCount, m_reveals)))),
                 int(std::ceil(2 * kPaddingY + std::max(metrics.height(), kGlyphSide))));
}

void HiddenSessionsRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = AuroraStyle::secondary();
    const QRectF glyphFrame(kPaddingX, 0, kGlyphFrame, height());
    Glyph::paint(painter,
                 QRectF(glyphFrame.center().x() - kGlyphSide / 2, glyphFrame.center().y() - kGlyphSide / 2,
                        kGlyphSide, kGlyphSide),
                 glyph(m_reveals), colour, false);
    painter.setFont(labelFont());
    painter.setPen(colour);
    painter.drawText(QRectF(glyphFrame.right() + kSpacing, 0, width(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter, label(m_hiddenCount, m_reveals));
}

} // namespace velquist
