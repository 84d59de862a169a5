#include "UI/SessionMark.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/StatusPip.h"

#include <QPaintEngine>
#include <QPaintEvent>
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

const QPixmap& SessionMark::pipPicture(qreal ratio) const
{
    if (m_pipPicture.isNull() || m_pipPicture.devicePixelRatio() != ratio || m_pipPictureColour != *m_pip) {
        const QSizeF size = pipRect().size();
        m_pipPicture = QPixmap((size * ratio).toSize());
        m_pipPicture.setDevicePixelRatio(ratio);
        m_pipPicture.fill(Qt::transparent);
        QPainter painter(&m_pipPicture);
        StatusPip::paint(painter, QRectF(QPointF(0, 0), size), *m_pip, AuroraStyle::pipCollar());
        m_pipPictureColour = *m_pip;
    }
    return m_pipPicture;
}

void SessionMark::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    paintIcon(painter);
    if (!m_pip)
        return;
    const QRectF pip = pipRect();
    if (!event->region().intersects(pip.toAlignedRect()))
        return;
    // The picture lands on whole device pixels only under a shift by whole pixels; otherwise the
    // pip is drawn where it falls.
    const QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const qreal ratio = device ? device->devicePixelRatioF() : 1;
    const QPointF corner = painter.worldTransform().map(pip.topLeft()) * ratio;
    const QSizeF size = pip.size() * ratio;
    const auto whole = [](qreal value) { return value == std::round(value); };
    if (painter.worldTransform().type() <= QTransform::TxTranslate && whole(corner.x()) &&
        whole(corner.y()) && whole(size.width()) && whole(size.height()))
        painter.drawPixmap(pip.topLeft(), pipPicture(ratio));
    else
        StatusPip::paint(painter, pip, *m_pip, AuroraStyle::pipCollar());
}

} // namespace velquist
