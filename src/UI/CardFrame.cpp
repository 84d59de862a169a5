#include "UI/CardFrame.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/PiecewiseBlit.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <functional>

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

QRegion CardFrame::accentRegion() const
{
    if (m_accentRegionSize == size())
        return m_accentRegion;
    // The outline is a 1 pt line along the card's edge: a band a little wider than that along the
    // straight sides, and in the corners a staircase following the curve, leave the card's content
    // out of every breath. Few rectangles, so the screen takes few copies.
    constexpr int kBand = 2;
    constexpr int kStair = 2;
    const QRect card = cardRect().toAlignedRect();
    const int radius = int(std::ceil(CardAccent::kCornerRadius));
    const double inner = CardAccent::kCornerRadius - 3; // inside the stroke and its antialiasing
    QRegion band = QRegion(rect()).subtracted(QRegion(card.adjusted(kBand, kBand, -kBand, -kBand)));
    for (int y = kBand; y < radius; y += kStair) {
        // The row's widest reach into the card is at its edge nearest the card's edge.
        const double fromCentre = CardAccent::kCornerRadius - y;
        const double reach = fromCentre >= inner ? CardAccent::kCornerRadius
                                                 : CardAccent::kCornerRadius -
                                                       std::sqrt(inner * inner - fromCentre * fromCentre);
        const int width = std::min(radius, int(std::ceil(reach)) + 1);
        band += QRect(card.left(), card.top() + y, width, kStair);
        band += QRect(card.right() + 1 - width, card.top() + y, width, kStair);
        band += QRect(card.left(), card.bottom() + 1 - y - kStair, width, kStair);
        band += QRect(card.right() + 1 - width, card.bottom() + 1 - y - kStair, width, kStair);
    }
    m_accentRegion = band;
    m_accentRegionSize = size();
    return m_accentRegion;
}

void CardFrame::renderLayers()
{
    const qreal ratio = devicePixelRatioF();
    if (m_layers.size == size() && m_layers.pixelRatio == ratio && m_layers.accent == m_accent &&
        !m_layers.body.isNull())
        return;
    const QRectF card = cardRect();
    const auto layer = [&](const std::function<void(QPainter&)>& paint) {
        QPixmap pixmap(size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        return pixmap;
    };
    m_layers = Layers{size(), ratio, m_accent, {}, {}, {}};
    if (m_accent.color) {
        m_layers.glow = layer([&](QPainter& painter) { m_accent.paintGlow(painter, card, 1.0); });
        m_layers.outline = layer([&](QPainter& painter) { m_accent.paintColourOutline(painter, card, 1.0); });
    }
    m_layers.body = layer([&](QPainter& painter) {
        m_accent.paintTint(painter, card, m_accent.steadyTintLevel());
        painter.setPen(Qt::NoPen);
        painter.setBrush(AuroraStyle::cardFill());
        painter.drawRoundedRect(card, CardAccent::kCornerRadius, CardAccent::kCornerRadius);
        CardAccent::paintPlainOutline(painter, card);
    });
}

void CardFrame::paintEvent(QPaintEvent* event)
{
    if (width() <= 0 || height() <= 0)
        return;
    renderLayers();
    QPainter painter(this);
    // The accent's light is linear in its level, so its full-level layers painted at the level's
    // opacity show what drawing it at that level would.
    const double level = m_accent.level(m_ticker.clock().now());
    m_drawnLevel = level;
    const QRegion& region = event->region();
    if (!m_layers.glow.isNull()) {
        painter.setOpacity(level);
        drawPiecewise(painter, region, m_layers.glow);
    }
    painter.setOpacity(1);
    drawPiecewise(painter, region, m_layers.body);
    if (!m_layers.outline.isNull()) {
        painter.setOpacity(level);
        drawPiecewise(painter, region, m_layers.outline);
    }
}

void CardFrame::showEvent(QShowEvent*)
{
    updateAnimation();
}

void CardFrame::hideEvent(QHideEvent*)
{
    m_subscription.reset();
    // A hidden card keeps no pictures: a collapsed panel costs no memory for its cards.
    dropPictures();
}

void CardFrame::dropPictures()
{
    m_layers = Layers{};
}

void CardFrame::onStep()
{
    if (m_accent.level(m_ticker.clock().now()) != m_drawnLevel)
        update(accentRegion());
}

void CardFrame::updateAnimation()
{
    const bool wanted = m_accent.breathes && m_accent.color && isVisible();
    if (!wanted) {
        m_subscription.reset();
    } else if (!m_subscription.isActive()) {
        m_subscription = m_ticker.subscribe(ViewTicker::Period::step, [this] { onStep(); });
    }
}

} // namespace velquist
