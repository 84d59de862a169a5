#include "UI/AgentIcon.h"

#include "UI/BrandGlyph.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewClock.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QThread>

#include <cmath>
#include <unordered_map>

namespace velquist {

AgentIconStyle iconStyle(AgentKind kind)
{
    switch (kind) {
    case AgentKind::claudeCode:
        return {"brand-claude", Palette::brandClaude()};
    case AgentKind::codex:
        return {"brand-codex", Palette::brandPlain()};
    case AgentKind::cursor:
        return {"brand-cursor", Palette::brandPlain()};
    case AgentKind::gemini:
        return {"brand-gemini", Palette::brandGemini()};
    case AgentKind::qwen:
        return {"brand-qwen", Palette::brandQwen()};
    case AgentKind::opencode:
        return {"brand-opencode", Palette::brandPlain()};
    case AgentKind::detected:
        break;
    }
    return {"brand-unknown", Palette::brandUnknown()};
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
        m_subscription = m_ticker->subscribe(ViewTicker::Period::step, [this] { onStep(); });
}

void AgentIcon::onStep()
{
    if (spinAngle(m_clock.now()) != m_drawnAngle)
        update(turnRect());
}

QRect AgentIcon::turnRect() const
{
    // A square mark turned by 45 degrees reaches half a diagonal from its centre.
    const QRectF box = iconBox();
    const qreal reach = std::max(box.width(), box.height()) * (std::sqrt(2.0) - 1) / 2 + 1;
    return box.adjusted(-reach, -reach, reach, reach).toAlignedRect() & rect();
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
        colour = Palette::brandUnknown();
    }
    const qreal side = std::min(box.width(), box.height());
    const auto fill = [&](QPainter& target, const QPointF& centre, qreal scale) {
        target.save();
        target.setRenderHint(QPainter::Antialiasing);
        target.translate(centre);
        target.scale(scale, scale);
        target.rotate(degrees);
        target.translate(-side / 2, -side / 2);
        target.fillPath(BrandGlyph::path(name, side), colour);
        target.restore();
    };
    // A spinning mark is drawn twenty times a second: each of its pictures is kept, drawn once at
    // the device's pixel density and where it falls within a device pixel, so a step only copies.
    const QTransform& world = painter.worldTransform();
    // The density of where the pixels land: a widget rendered into an image paints through the
    // widget, but onto the image.
    const QPaintDevice* target = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const bool cacheable = world.type() <= QTransform::TxTranslate && target &&
                           QThread::currentThread() == QCoreApplication::instance()->thread();
    if (!cacheable) {
        fill(painter, box.center(), 1);
        return;
    }
    const qreal ratio = target->devicePixelRatioF();
    const QPointF centre = world.map(box.center()) * ratio;
    // Eighths of a pixel: finer than antialiasing shows.
    const QPointF fraction(std::round((centre.x() - std::floor(centre.x())) * 8) / 8,
                           std::round((centre.y() - std::floor(centre.y())) * 8) / 8);
    const int extent = int(std::ceil(side * ratio * std::sqrt(2.0))) / 2 * 2 + 4;
    // Kept apart from the shared pixmap cache: a key of numbers, not a string formatted at every
    // step of every spinning icon. The pictures are small and few (a kind's colours, sizes and 80
    // angles); the whole set is dropped if it ever outgrows a few megabytes.
    struct Key
    {
        QString name;
        QRgb colour;
        qint64 side;    // device pixels, in 1/64
        qint64 degrees; // in 1/1000
        int fractionX;  // eighths of a pixel
        int fractionY;
        int extent;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        std::size_t operator()(const Key& key) const
        {
            return qHashMulti(0, key.name, key.colour, key.side, key.degrees, key.fractionX, key.fractionY,
                              key.extent);
        }
    };
    // Never destroyed: pixmaps must not outlive the application object at exit.
    static auto& pictures = *new std::unordered_map<Key, QPixmap, KeyHash>;
    static qint64 bytes = 0;
    constexpr qint64 kMostBytes = 8 << 20;
    const Key key{name,
                  colour.rgba(),
                  std::llround(side * ratio * 64),
                  std::llround(degrees * 1000),
                  int(std::lround(fraction.x() * 8)),
                  int(std::lround(fraction.y() * 8)),
                  extent};
    auto found = pictures.find(key);
    if (found == pictures.end()) {
        if (bytes > kMostBytes) {
            pictures.clear();
            bytes = 0;
        }
        bytes += qint64(extent) * extent * 4;
        QPixmap made(extent, extent);
        made.fill(Qt::transparent);
        QPainter target(&made);
        fill(target, QPointF(extent / 2, extent / 2) + fraction, ratio);
        target.end();
        // Kept at the density it is drawn at: relabelling a shared copy at every step would
        // detach it, copying its pixels each time.
        made.setDevicePixelRatio(ratio);
        found = pictures.emplace(key, made).first;
    }
    QPixmap picture = found->second;
    // A no-op unless another density shares these device pixels.
    picture.setDevicePixelRatio(ratio);
    const QPointF corner(std::floor(centre.x()) - extent / 2, std::floor(centre.y()) - extent / 2);
    painter.save();
    painter.setWorldTransform(QTransform());
    painter.drawPixmap(corner / ratio, picture);
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
    paintIcon(painter);
}

void AgentIcon::paintIcon(QPainter& painter)
{
    m_drawnAngle = m_spinning ? spinAngle(m_clock.now()) : 0;
    paint(painter, iconBox(), m_kind, m_drawnAngle);
}

} // namespace velquist
