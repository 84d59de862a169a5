#include "UI/Kit/OptionRowButton.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/ElidedLabel.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

namespace velquist {

namespace {

constexpr qreal kPaddingX = 13;
constexpr qreal kPaddingY = 8;
constexpr qreal kMark = 18;
constexpr qreal kSpacing = 11;
constexpr qreal kCheck = 9;
constexpr qreal kRadius = 14;
// Room kept around the row for its glow when picked: half the 5 pt gap between rows.
constexpr qreal kShadow = 2.5;

QFont labelFont()
{
    return AuroraStyle::font(11.5, QFont::Medium);
}
QFont detailFont()
{
    return AuroraStyle::font(10.5);
}

QStringList detailLines(const QString& text, qreal width)
{
    return ElidedLabel::layoutLines(text, detailFont(), width, 1000, Qt::ElideRight);
}

} // namespace

OptionRowButton::OptionRowButton(int number, const QString& label, const QString& detail, bool hasDetail,
                                 bool multiSelect, QWidget* parent)
    : QAbstractButton(parent), m_number(QString::number(number)), m_detail(detail), m_hasDetail(hasDetail),
      m_multiSelect(multiSelect), m_signal(AuroraStyle::systemOrange())
{
    setText(label);
    setCursor(Qt::PointingHandCursor);
    // The panel never takes the keyboard from the user's terminal; rows answer to the pointer.
    setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void OptionRowButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void OptionRowButton::setSignal(const QColor& signal)
{
    m_signal = signal;
    update();
}

qreal OptionRowButton::textWidth(int width) const
{
    return std::max<qreal>(20, width - 2 * kShadow - 2 * kPaddingX - kMark - kSpacing - kCheck - kSpacing);
}

int OptionRowButton::heightForWidth(int width) const
{
    const qreal w = textWidth(width);
    const int labelLines = int(ElidedLabel::layoutLines(text(), labelFont(), w, 2, Qt::ElideRight).size());
    qreal height = labelLines * QFontMetricsF(labelFont()).lineSpacing();
    if (m_hasDetail)
        height += 2 + detailLines(m_detail, w).size() * QFontMetricsF(detailFont()).lineSpacing();
    height = std::max(height, kMark + 1);
    return qCeil(height + 2 * kPaddingY + 2 * kShadow);
}

QSize OptionRowButton::sizeHint() const
{
    return QSize(320, heightForWidth(320));
}

QSize OptionRowButton::minimumSizeHint() const
{
    return QSize(120, qCeil(kMark + 2 * kPaddingY + 2 * kShadow));
}

void OptionRowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF row = QRectF(rect()).adjusted(kShadow, kShadow, -kShadow, -kShadow);

    if (m_selected) {
        // The glow: a few fading rings around the row.
        for (int i = 3; i >= 1; --i) {
            QColor glow = m_signal;
            glow.setAlphaF(float(0.16 * 0.5 * (4 - i) / 3.0));
            painter.setPen(QPen(glow, 1));
            painter.setBrush(Qt::NoBrush);
            const qreal spread = i * 0.8;
            painter.drawRoundedRect(row.adjusted(-spread, -spread, spread, spread), kRadius + spread,
                                    kRadius + spread);
        }
        QLinearGradient fill(row.topLeft(), row.topRight());
        QColor from = m_signal;
        from.setAlphaF(0.22f);
        QColor to = m_signal;
        to.setAlphaF(0.05f);
        fill.setColorAt(0, from);
        fill.setColorAt(1, to);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(AuroraStyle::optionFill());
    }
    painter.drawRoundedRect(row, kRadius, kRadius);
    QColor outline = m_signal;
    outline.setAlphaF(0.45f);
    painter.setPen(QPen(m_selected ? outline : AuroraStyle::optionStroke(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(row.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);

    const QRectF inner = row.adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
    // The number mark.
    const QRectF mark(inner.left(), inner.top() + 1, kMark, kMark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_selected ? m_signal : Palette::optionMark());
    if (m_multiSelect)
        painter.drawRoundedRect(mark, 3, 3);
    else
        painter.drawEllipse(mark);
    painter.setFont(AuroraStyle::font(9, QFont::Bold));
    painter.setPen(m_selected ? AuroraStyle::mixTowardBlack(m_signal, 0.86) : Palette::textSoft());
    painter.drawText(mark, Qt::AlignCenter, m_number);

    // Label and detail.
    const qreal x = mark.right() + kSpacing;
    const qreal w = textWidth(width());
    qreal y = inner.top();
    painter.setFont(labelFont());
    painter.setPen(Palette::textEmphasis());
    const qreal labelLine = QFontMetricsF(labelFont()).lineSpacing();
    for (const QString& line : ElidedLabel::layoutLines(text(), labelFont(), w, 2, Qt::ElideRight)) {
        painter.drawText(QRectF(x, y, w, labelLine), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
        y += labelLine;
    }
    if (m_hasDetail) {
        y += 2;
        painter.setFont(detailFont());
        painter.setPen(AuroraStyle::secondary());
        const qreal detailLine = QFontMetricsF(detailFont()).lineSpacing();
        for (const QString& line : detailLines(m_detail, w)) {
            painter.drawText(QRectF(x, y, w, detailLine), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                             line);
            y += detailLine;
        }
    }
    if (m_selected) {
        const QRectF check(inner.right() - kCheck, inner.top() + 1 + (kMark - kCheck) / 2, kCheck, kCheck);
        Glyph::paint(painter, check, QStringLiteral("checkmark"), m_signal);
    }
}

} // namespace velquist
