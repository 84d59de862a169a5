#include "UI/NotchBody.h"

#include "UI/AnimatedValue.h"
#include "UI/CollapsedBarView.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/PiecewiseBlit.h"
#include "UI/NotchShape.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <cmath>

namespace velquist {

NotchBody::NotchBody(const NotchGeometry& geometry, CollapsedBarView* bar, QWidget* parent)
    : QWidget(parent), m_geometry(geometry), m_bar(bar), m_sheet(new QWidget(this)),
      m_width(new AnimatedValue(geometry.centerGapWidth, this)), m_sheetShown(new AnimatedValue(0, this)),
      m_top(new AnimatedValue(NotchShape::kCollapsedTopRadius, this)),
      m_bottom(new AnimatedValue(NotchShape::kCollapsedBottomRadius, this)),
      m_shadow(new AnimatedValue(0, this)), m_opacity(new AnimatedValue(1, this)),
      m_collapsedWidth(geometry.centerGapWidth)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_sheet->installEventFilter(this);
    m_bar->setParent(this);
    connect(m_bar, &CollapsedBarView::clicked, this, &NotchBody::barClicked);
    for (AnimatedValue* value : {m_width, m_sheetShown, m_top, m_bottom, m_shadow})
        connect(value, &AnimatedValue::changed, this, [this] {
            relayout();
            update();
        });
    connect(m_opacity, &AnimatedValue::changed, this, [this](qreal value) {
        // The effect renders the bar offscreen; keep it only while the bar is not fully shown.
        if (value < 1 && !m_fade) {
            m_fade = new QGraphicsOpacityEffect(this);
            m_bar->setGraphicsEffect(m_fade);
        }
        if (m_fade)
            m_fade->setOpacity(value);
        if (value >= 1 && m_fade) {
            m_bar->setGraphicsEffect(nullptr);
            m_fade = nullptr;
        }
        update();
    });
    relayout();
}

NotchBody::~NotchBody() = default;

void NotchBody::setAnimated(bool animated)
{
    for (AnimatedValue* value : {m_width, m_sheetShown, m_top, m_bottom, m_shadow, m_opacity})
        value->setImmediate(!animated);
}

void NotchBody::seek(int msec)
{
    for (AnimatedValue* value : {m_width, m_sheetShown, m_top, m_bottom, m_shadow, m_opacity})
        value->seek(msec);
}

void NotchBody::setOpen(bool open)
{
    if (open == m_open)
        return;
    m_open = open;
    m_bar->setOpen(open);
    retarget();
}

void NotchBody::setCollapsedWidth(qreal width)
{
    if (width == m_collapsedWidth)
        return;
    m_collapsedWidth = width;
    retarget();
}

void NotchBody::setSheetHeight(qreal height)
{
    height = std::max(0.0, height);
    if (height == m_sheetHeight)
        return;
    m_sheetHeight = height;
    retarget();
}

void NotchBody::setConcealed(bool concealed)
{
    if (concealed == m_concealed)
        return;
    m_concealed = concealed;
    setAttribute(Qt::WA_TransparentForMouseEvents, concealed);
    retarget();
}

void NotchBody::setSheetContent(QWidget* content)
{
    if (content == m_content)
        return;
    if (m_content) {
        m_content->removeEventFilter(this);
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        content->setParent(m_sheet);
        content->installEventFilter(this);
        content->show();
    }
    relayout();
    measureContent();
}

void NotchBody::retarget()
{
    m_width->animateTo(m_open ? openWidth() : m_collapsedWidth);
    m_sheetShown->animateTo(m_open ? std::min(m_sheetHeight, availableSheetHeight()) : 0);
    m_top->animateTo(m_open ? NotchShape::kOpenTopRadius : NotchShape::kCollapsedTopRadius);
    m_bottom->animateTo(m_open ? NotchShape::kOpenBottomRadius : NotchShape::kCollapsedBottomRadius);
    m_shadow->animateTo(m_open ? NotchShadow::kOpacity : 0);
    m_opacity->animateTo(m_concealed ? 0 : 1);
}

QRectF NotchBody::bodyRect() const
{
    const qreal width = m_width->value();
    return QRectF((this->width() - width) / 2, 0, width, m_geometry.barHeight + m_sheetShown->value());
}

QPainterPath NotchBody::shape() const
{
    return NotchShape::path(bodyRect(), m_top->value(), m_bottom->value());
}
qreal NotchBody::topRadius() const
{
    return m_top->value();
}
qreal NotchBody::bottomRadius() const
{
    return m_bottom->value();
}
qreal NotchBody::shadowOpacity() const
{
    return m_shadow->value();
}
qreal NotchBody::opacity() const
{
    return m_opacity->value();
}

qreal NotchBody::naturalSheetHeight() const
{
    if (!m_content)
        return 0;
    const int width = int(std::ceil(openWidth()));
    const int height = m_content->hasHeightForWidth()    ? m_content->heightForWidth(width)
                       : m_content->sizeHint().isValid() ? m_content->sizeHint().height()
                                                         : m_content->minimumHeight();
    return std::max(0, height);
}

void NotchBody::measureContent()
{
    const qreal height = naturalSheetHeight();
    if (m_content)
        m_content->setGeometry(m_content->x(), 0, int(std::ceil(openWidth())), int(std::ceil(height)));
    if (height == m_lastReported)
        return;
    m_lastReported = height;
    Q_EMIT sheetHeightChanged(height);
}

void NotchBody::relayout()
{
    const QRectF body = bodyRect();
    const int barHeight = int(std::ceil(m_geometry.barHeight));
    m_bar->setGeometry(QRect(int(std::round(body.left())), 0, int(std::round(body.width())), barHeight));
    // The body's sides stand in from its top edge by the top radius: the sheet shows only between
    // them, so content sliding in while the body widens never shows outside the outline.
    const qreal inset = std::min(m_top->value(), body.width() / 2);
    const int left = int(std::round(body.left() + inset));
    m_sheet->setGeometry(QRect(left, barHeight, int(std::round(body.width() - 2 * inset)),
                               int(std::round(m_sheetShown->value()))));
    m_sheet->setVisible(m_sheetShown->value() > 0.5);
    // And only inside the rounded bottom corners.
    if (m_sheet->isVisibleTo(this))
        m_sheet->setMask(QRegion(shape().translated(-m_sheet->pos()).toFillPolygon().toPolygon()));
    if (m_content)
        m_content->move(int(std::round(body.left() + (body.width() - openWidth()) / 2)) - left, 0);
}

void NotchBody::resizeEvent(QResizeEvent*)
{
    relayout();
}

bool NotchBody::eventFilter(QObject* watched, QEvent* event)
{
    // A content with a layout of its own hears of its changes; one that calls updateGeometry()
    // tells its parent, the sheet.
    if ((watched == m_content || watched == m_sheet) && event->type() == QEvent::LayoutRequest)
        measureContent();
    return QWidget::eventFilter(watched, event);
}

bool NotchBody::isMoving() const
{
    for (const AnimatedValue* value : {m_width, m_sheetShown, m_top, m_bottom, m_shadow, m_opacity})
        if (value->isRunning())
            return true;
    return false;
}

void NotchBody::paintBody(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF body = bodyRect();
    if (m_shadow->value() > 0) {
        const QImage& shadow = m_shadowCache.image(body.size(), m_top->value(), m_bottom->value());
        painter.save();
        painter.setOpacity(painter.opacity() * m_shadow->value());
        painter.drawImage(NotchShadow::target(body).translated(0, NotchShadow::kOffsetY), shadow);
        painter.restore();
    }
    const QPainterPath outline = shape();
    painter.fillPath(outline, Palette::notch());
    if (m_sheetShown->value() > 0) {
        // The sheet's part of the outline as a path of its own: a clip by the outline would cut
        // every repaint of every card through a path clipper.
        QPainterPath below;
        below.addRect(QRectF(body.left(), m_geometry.barHeight, body.width(), m_sheetShown->value()));
        painter.fillPath(outline.intersected(below), AuroraStyle::sheet());
    }
}

void NotchBody::paintEvent(QPaintEvent* event)
{
    const qreal opacity = m_opacity->value();
    if (opacity <= 0)
        return;
    QPainter painter(this);
    if (isMoving()) {
        m_still = QPixmap();
        painter.setOpacity(opacity);
        paintBody(painter);
        return;
    }
    // At rest the body is one picture: a card or a spinner redrawing over it only copies its part.
    const qreal ratio = devicePixelRatioF();
    const StillKey key{size(), ratio, bodyRect(), m_top->value(), m_bottom->value(), m_shadow->value(),
                       opacity};
    if (m_still.isNull() || !(key == m_stillKey)) {
        m_still = QPixmap(size() * ratio);
        m_still.setDevicePixelRatio(ratio);
        m_still.fill(Qt::transparent);
        QPainter still(&m_still);
        still.setOpacity(opacity);
        paintBody(still);
        m_stillKey = key;
    }
    drawPiecewise(painter, event->region(), m_still);
}

} // namespace velquist
