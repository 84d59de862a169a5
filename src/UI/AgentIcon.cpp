#include "UI/AgentIcon.h"

#include "UI/AuroraStyle.h"
#include "UI/BrandGlyph.h"
#include "UI/ViewClock.h"

#include <QPainter>

#include <cmath>

namespace velquist {

AgentIconStyle iconStyle(AgentKind kind)
{
    using AuroraStyle::rgb;
    switch (kind) {
    case AgentKind::claudeCode:
        return {"brand-claude", rgb(0.851, 0.467, 0.341)};
    case AgentKind::codex:
        return {"brand-codex", Qt::white};
    case AgentKind::cursor:
        return {"brand-cursor", Qt::white};
    case AgentKind::gemini:
        return {"brand-gemini", rgb(0.192, 0.525, 1.0)};
    case AgentKind::qwen:
        return {"brand-qwen", rgb(0.435, 0.412, 0.969)};
    case AgentKind::opencode:
        return {"brand-opencode", Qt::white};
    case AgentKind::detected:
        break;
    }
    return {"brand-unknown", rgb(0.62, 0.62, 0.62)};
}

AgentIcon::AgentIcon(AgentKind kind, qreal size, bool isSpinning, QWidget* parent, ViewTicker* ticker)
    : QWidget(parent), m_kind(kind), m_size(size), m_ticker(ticker),
      m_clock(viewClock(ticker ? &ticker->clock() : nullptr))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSpinning(isSpinning);
}

void AgentIcon::setKind(AgentKind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    update();
}

void AgentIcon::setSpinning(bool spinning)
{
    if (spinning == m_spinning)
        return;
    m_spinning = spinning;
    updateAnimation();
    update();
}

void AgentIcon::updateAnimation()
{
    if (!m_spinning || !m_ticker || !isVisible()) {
        m_subscription.reset();
        return;
    }
    if (!m_subscription.isActive())
        m_subscription = m_ticker->subscribe(ViewTicker::Period::frame, [this] { onFrame(); });
}

void AgentIcon::onFrame()
{
    if (spinAngle(m_clock.now()) != m_drawnAngle)
        update();
}

void AgentIcon::showEvent(QShowEvent*)
{
    updateAnimation();
}

void AgentIcon::hideEvent(QHideEvent*)
{
    m_subscription.reset();
}

QSize AgentIcon::sizeHint() const
{
    return QSize(int(std::ceil(m_size)), int(std::ceil(m_size)));
}

qreal AgentIcon::spinAngle(Clock::WallTime time)
{
    // 978307200: the Unix time of 1 January 2001, 00:00 UTC. Whole ticks of 50 ms, 80 to a turn,
    // counted in integers so every icon lands on the same step; the remainder keeps the sign.
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() -
        978'307'200'000LL;
    const long long ticks = ms / 50;
    return qreal(ticks % 80) * (360.0 / 80.0);
}

void AgentIcon::paintGlyph(QPainter& painter, const QRectF& box, const QString& asset, const QColor& tint,
                           qreal degrees)
{
    QString name = asset;
    QColor colour = tint;
    if (!BrandGlyph::exists(name)) {
        name = QStringLiteral("brand-unknown");
        colour = AuroraStyle::rgb(0.62, 0.62, 0.62);
    }
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center());
    painter.rotate(degrees);
    painter.translate(-side / 2, -side / 2);
    painter.fillPath(BrandGlyph::path(name, side), colour);
    painter.restore();
}

void AgentIcon::paint(QPainter& painter, const QRectF& box, AgentKind kind, qreal degrees)
{
    const AgentIconStyle style = iconStyle(kind);
    paintGlyph(painter, box, style.asset, style.tint, degrees);
}

QRectF AgentIcon::iconBox() const
{
    return QRectF((width() - m_size) / 2, (height() - m_size) / 2, m_size, m_size);
}

void AgentIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_drawnAngle = m_spinning ? spinAngle(m_clock.now()) : 0;
    paint(painter, iconBox(), m_kind, m_drawnAngle);
}

} // namespace velquist
