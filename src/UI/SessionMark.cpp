#include "UI/SessionMark.h"

#include "UI/AuroraStyle.h"
#include "UI/StatusPip.h"

#include <QPainter>

#include <cmath>

namespace velquist {

QPointF SessionMark::iconOrigin()
{
    return {0, -StatusPip::kOffset.y()};
}

QRectF SessionMark::pipRect()
{
    // Aligned to the icon's top-right corner, then moved by the pip's own offset.
    const qreal outer = StatusPip::outerSize(kPipSize);
    const QPointF corner = iconOrigin() + QPointF(kIconSize, 0);
    return QRectF(corner.x() - outer + StatusPip::kOffset.x(), corner.y() + StatusPip::kOffset.y(), outer,
                  outer);
}

SessionMark::SessionMark(AgentKind kind, std::optional<QColor> pip, bool isSpinning, QWidget* parent,
                         ViewTicker* ticker)
    : AgentIcon(kind, kIconSize, isSpinning, parent, ticker), m_pip(pip)
{
}

void SessionMark::setPip(std::optional<QColor> pip)
{
    if (pip == m_pip)
        return;
    m_pip = pip;
    update();
}

QSize SessionMark::sizeHint() const
{
    const QRectF bounds = QRectF(iconOrigin(), QSizeF(kIconSize, kIconSize)).united(pipRect());
    return QSize(int(std::ceil(bounds.right())), int(std::ceil(bounds.bottom())));
}

QRectF SessionMark::iconBox() const
{
    return QRectF(iconOrigin(), QSizeF(kIconSize, kIconSize));
}

void SessionMark::paintEvent(QPaintEvent* event)
{
    AgentIcon::paintEvent(event);
    if (!m_pip)
        return;
    QPainter painter(this);
    StatusPip::paint(painter, pipRect(), *m_pip, AuroraStyle::pipCollar());
}

} // namespace velquist
