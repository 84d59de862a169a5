#include "Characters/IntroCardButton.h"

#include "Characters/IntroStyle.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velquist {
namespace {

constexpr qreal kArrowPoints = 10.5;
constexpr qreal kArrowGap = 6;

QMarginsF paddingOf(IntroCardButton::Kind kind)
{
    switch (kind) {
    case IntroCardButton::Kind::quiet:
        return {0, 9, 0, 9};
    case IntroCardButton::Kind::secondary:
        return {14, 9, 14, 9};
    case IntroCardButton::Kind::primary:
        return {18, 9, 18, 9};
    }
    return {};
}

} // namespace

IntroCardButton::IntroCardButton(Kind kind, const QString& title, bool arrow, QWidget* parent)
    : QAbstractButton(parent), m_kind(kind), m_arrow(arrow && kind == Kind::primary)
{
    setText(title);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(title);
    setFixedSize(sizeHint());
}

QFont IntroCardButton::labelFont() const
{
    switch (m_kind) {
    case Kind::quiet:
        return AuroraStyle::font(12);
    case Kind::secondary:
        return AuroraStyle::font(12.5, QFont::Medium);
    case Kind::primary:
        return AuroraStyle::font(13, QFont::DemiBold);
    }
    return AuroraStyle::font(12);
}

QSize IntroCardButton::sizeHint() const
{
    const QFontMetricsF metrics(labelFont());
    qreal width = metrics.horizontalAdvance(text());
    if (m_arrow)
        width += kArrowGap + kArrowPoints;
    const QMarginsF padding = paddingOf(m_kind);
    return QSize(int(std::ceil(width + padding.left() + padding.right())),
                 int(std::ceil(metrics.height() + padding.top() + padding.bottom())));
}

void IntroCardButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    QColor colour = Palette::textBright();
    if (m_kind == Kind::quiet)
        colour = IntroStyle::quietLabel();
    else if (m_kind == Kind::secondary)
        colour = IntroStyle::secondaryLabel();

    if (m_kind == Kind::primary) {
        QPainterPath shape;
        shape.addRoundedRect(box, 11, 11);
        QLinearGradient fill(box.topLeft(), box.bottomLeft());
        fill.setColorAt(0, IntroStyle::ctaTop());
        fill.setColorAt(1, IntroStyle::ctaBottom());
        painter.fillPath(shape, fill);
        if (isDown())
            painter.fillPath(shape, IntroStyle::ctaPressed());
        painter.setPen(QPen(IntroStyle::ctaStroke(), 1));
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 10.5, 10.5);
    }
    if (underMouse() && m_kind != Kind::primary)
        colour.setAlphaF(std::min(1.0f, colour.alphaF() + 0.2f));

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    const QMarginsF padding = paddingOf(m_kind);
    const QRectF content = box.marginsRemoved(padding);
    qreal textWidth = metrics.horizontalAdvance(text());
    const qreal total = textWidth + (m_arrow ? kArrowGap + kArrowPoints : 0);
    const qreal left = content.left() + (content.width() - total) / 2;
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRectF(left, content.top(), textWidth + 1, content.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, text());
    if (m_arrow) {
        const QRectF arrow(left + textWidth + kArrowGap, content.center().y() - kArrowPoints / 2,
                           kArrowPoints, kArrowPoints);
        Glyph::paint(painter, arrow, QStringLiteral("arrow.right"), colour, true);
    }
}

} // namespace velquist
