#include "UI/CardFrame.h"

#include "UI/AuroraStyle.h"

#include <QPainter>

namespace velquist {

CardFrame::CardFrame(ViewTicker& ticker, QWidget* parent) : QWidget(parent), m_ticker(ticker)
{
    setContentsMargins(kGlowMargin + kPaddingX, kGlowMargin + kPaddingY, kGlowMargin + kPaddingX,
                       kGlowMargin + kPaddingY);
}

void CardFrame::setAccent(const CardAccent& accent)
{
    if (accent == m_accent)
        return;
    m_accent = accent;
    updateAnimation();
    update();
}

QRectF CardFrame::cardRect() const
{
    return QRectF(rect()).adjusted(kGlowMargin, kGlowMargin, -kGlowMargin, -kGlowMargin);
}

void CardFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    const double level = m_accent.level(m_ticker.clock().now());
    m_accent.paintBehind(painter, card, level);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AuroraStyle::cardFill());
    painter.drawRoundedRect(card, CardAccent::kCornerRadius, CardAccent::kCornerRadius);
    m_accent.paintOutline(painter, card, level);
}

void CardFrame::showEvent(QShowEvent*)
{
    updateAnimation();
}

void CardFrame::hideEvent(QHideEvent*)
{
    m_subscription.reset();
}

void CardFrame::updateAnimation()
{
    const bool wanted = m_accent.breathes && m_accent.color && isVisible();
    if (!wanted) {
        m_subscription.reset();
    } else if (!m_subscription.isActive()) {
        m_subscription = m_ticker.subscribe(ViewTicker::Period::frame, [this] { update(); });
    }
}

} // namespace velquist
