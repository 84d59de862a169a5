#include "UI/CollapsedBarView.h"

#include "UI/AgentBadge.h"
#include "UI/AgentIcon.h"
#include "UI/CollapsedBarLayout.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"
#include "UI/UsageRing.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace velquist {

using namespace CollapsedBarLayout;

CollapsedBarView::CollapsedBarView(const NotchGeometry& geometry, QWidget* parent)
    : QWidget(parent), m_geometry(geometry), m_ring(new UsageRing(UsageReading{}, geometry.barHeight, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(int(std::ceil(geometry.barHeight)));
    m_ring->hide();
}

void CollapsedBarView::setSessions(const std::vector<Session>& displayed)
{
    setSummary(AgentGrouping::groups(displayed), !displayed.empty());
}

void CollapsedBarView::setSummary(std::vector<AgentGroup> groups, bool hasSessions)
{
    if (groups == m_groups && hasSessions == m_hasSessions)
        return;
    m_groups = std::move(groups);
    m_hasSessions = hasSessions;
    relayout();
    update();
}

void CollapsedBarView::setOpen(bool open)
{
    if (open == m_open)
        return;
    m_open = open;
    update();
}

void CollapsedBarView::setSnoozed(bool snoozed)
{
    if (snoozed == m_snoozed)
        return;
    m_snoozed = snoozed;
    relayout();
    update();
}

void CollapsedBarView::setSelectedCharacterId(const QString& id)
{
    if (id == m_selectedCharacterId)
        return;
    m_selectedCharacterId = id;
    relayout();
}

void CollapsedBarView::setUsage(const std::optional<UsageReading>& usage)
{
    if (usage == m_usage)
        return;
    m_usage = usage;
    if (usage)
        m_ring->setReading(*usage);
    relayout();
}

void CollapsedBarView::setCharacterLayer(QWidget* layer)
{
    if (m_character && m_character != layer)
        m_character->deleteLater();
    m_character = layer;
    if (layer)
        layer->setParent(this);
    relayout();
}

CollapsedBarView::RightItem CollapsedBarView::rightItemFor(const QString& selectedCharacterId,
                                                           const std::optional<UsageReading>& usage,
                                                           bool hasSessions)
{
    if (selectedCharacterId == QLatin1String("usage"))
        return usage && UsageRing::window(*usage) ? RightItem::usageRing : RightItem::none;
    return hasSessions ? RightItem::character : RightItem::none;
}

CollapsedBarView::RightItem CollapsedBarView::rightItem() const
{
    return rightItemFor(m_selectedCharacterId, m_usage, m_hasSessions);
}

QSize CollapsedBarView::sizeHint() const
{
    const qreal width =
        collapsedWidth(m_geometry, int(m_groups.size()), m_snoozed, rightItem() != RightItem::none);
    return QSize(int(std::ceil(width)), int(std::ceil(m_geometry.barHeight)));
}

std::vector<QRectF> CollapsedBarView::iconRects() const
{
    std::vector<QRectF> rects;
    if (m_open)
        return rects;
    const LeftWing wing = leftWing(int(m_groups.size()), m_geometry.barHeight, m_geometry.wingWidth);
    const qreal top = (m_geometry.barHeight - wing.iconSize) / 2;
    for (int index = 0; index < wing.shown; ++index)
        rects.emplace_back(kOuterPadding + index * (wing.iconSize + kIconSpacing), top, wing.iconSize,
                           wing.iconSize);
    return rects;
}

QRectF CollapsedBarView::rightItemRect() const
{
    if (rightItem() == RightItem::none)
        return {};
    const qreal side = m_geometry.barHeight;
    return QRectF(width() - kOuterPadding - side, 0, side, side);
}

QRectF CollapsedBarView::moonRect() const
{
    if (!m_snoozed)
        return {};
    const qreal right =
        rightItem() == RightItem::none ? width() - kOuterPadding : rightItemRect().left() - kRightSpacing;
    return QRectF(right - kMoonWidth, 0, kMoonWidth, m_geometry.barHeight);
}

void CollapsedBarView::relayout()
{
    const RightItem item = rightItem();
    const QRect slot = rightItemRect().toAlignedRect();
    m_ring->setVisible(item == RightItem::usageRing);
    if (item == RightItem::usageRing)
        m_ring->setGeometry(slot);
    if (m_character) {
        m_character->setVisible(item == RightItem::character);
        if (item == RightItem::character)
            m_character->setGeometry(slot);
    }
    updateGeometry();
}

void CollapsedBarView::resizeEvent(QResizeEvent*)
{
    relayout();
}

void CollapsedBarView::paintEvent(QPaintEvent* event)
{
    // The right wing's slot holds only its item (the character repaints it at each of its frames):
    // the bar draws nothing there, and the moon stands left of it.
    if (const QRectF slot = rightItemRect(); !slot.isEmpty() && slot.toAlignedRect().contains(event->rect()))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto rects = iconRects();
    const LeftWing wing = leftWing(int(m_groups.size()), m_geometry.barHeight, m_geometry.wingWidth);
    const qreal overflowLeft = rects.empty() ? kOuterPadding : rects.back().right() + kIconSpacing;
    const QRectF overflow(overflowLeft, 0, kOverflowWidth + 4, m_geometry.barHeight);
    // The character on the right repaints the bar under it at each of its frames; the left wing
    // is drawn only when its part of the bar is repainted.
    QRectF wingBounds = !m_open && wing.overflow > 0 ? overflow : QRectF();
    std::vector<QRectF> badges;
    for (std::size_t index = 0; index < rects.size(); ++index) {
        const QSizeF size = AgentBadge::size(m_groups[index].waitingCount);
        const QPointF corner = rects[index].topRight() + AgentBadge::kOffset;
        badges.emplace_back(corner.x() - size.width(), corner.y(), size.width(), size.height());
        wingBounds = wingBounds.united(rects[index]).united(badges.back());
    }
    if (event->region().intersects(wingBounds.adjusted(-2, -2, 2, 2).toAlignedRect())) {
        for (std::size_t index = 0; index < rects.size(); ++index)
            AgentIcon::paint(painter, rects[index], m_groups[index].kind);
        for (std::size_t index = 0; index < rects.size(); ++index)
            AgentBadge::paint(painter, badges[index], m_groups[index].waitingCount);
        if (!m_open && wing.overflow > 0) {
            painter.setFont(AuroraStyle::font(10, QFont::DemiBold));
            painter.setPen(AuroraStyle::secondary());
            painter.drawText(overflow, Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("+%1").arg(wing.overflow));
        }
    }
    if (m_snoozed) {
        const QRectF moon = moonRect();
        Glyph::paint(painter, QRectF(moon.left() + 1, moon.center().y() - 4, 8, 8), "moon.fill",
                     Palette::textFaint());
    }
}

void CollapsedBarView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CollapsedBarView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool inside = rect().contains(event->position().toPoint());
    if (m_pressed && event->button() == Qt::LeftButton && inside)
        Q_EMIT clicked();
    m_pressed = false;
    event->accept();
}

} // namespace velquist
