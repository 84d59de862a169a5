#include "UI/Kit/SplitCapsule.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/MenuStyle.h"
#include "UI/Kit/Palette.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>

namespace velquist {

namespace {

constexpr qreal kPaddingY = 6;

} // namespace

// One half of the split capsule; the capsule behind both is painted by the owner, and each half
// draws the owner's press like the capsule does.
class SplitCapsule::Part : public QAbstractButton
{
  public:
    Part(const QString& text, const QString& icon, SplitCapsule* owner)
        : QAbstractButton(owner), m_owner(owner), m_icon(icon)
    {
        setText(text);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    void setColour(const QColor& colour)
    {
        m_colour = colour;
        update();
    }
    // The chevron half shows only its glyph.
    bool glyphOnly = false;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        m_owner->applyPress(painter, pos());
        const QColor colour = m_owner->pressed(m_colour);
        if (isDown()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Palette::pressShade());
            painter.drawRect(rect());
        }
        if (glyphOnly) {
            const qreal side = 8;
            Glyph::paint(painter, QRectF((width() - side) / 2, (height() - side) / 2, side, side), m_icon,
                         colour);
        } else {
            AuroraStyle::paintCapsuleLabel(painter, QRectF(rect()).adjusted(m_leading, 0, -m_trailing, 0),
                                           text(), m_icon, colour);
        }
    }

  public:
    qreal m_leading = 0;
    qreal m_trailing = 0;

  private:
    SplitCapsule* m_owner;
    QString m_icon;
    QColor m_colour;
};

SplitCapsule::SplitCapsule(const QString& label, const QColor& signal, std::function<void()> action,
                           std::vector<Item> items, const Look& look, QWidget* parent)
    : QWidget(parent), m_signal(signal), m_look(look)
{
    auto* main = new Part(label, QStringLiteral("checkmark"), this);
    main->m_leading = look.mainLeading;
    main->m_trailing = look.mainTrailing;
    auto* chevron = new Part(label + QStringLiteral(" options"), QStringLiteral("chevron.down"), this);
    chevron->glyphOnly = true;
    chevron->setAccessibleName(label + QStringLiteral(" options"));
    m_main = main;
    m_chevron = chevron;

    m_menu = new QMenu(this);
    MenuStyle::apply(*m_menu);
    for (Item& item : items) {
        QAction* entry = m_menu->addAction(item.text);
        connect(entry, &QAction::triggered, this, [run = std::move(item.action)] {
            if (run)
                run();
        });
    }
    connect(m_main, &QAbstractButton::clicked, this, [run = std::move(action)] {
        if (run)
            run();
    });
    connect(m_chevron, &QAbstractButton::clicked, this,
            [this] { m_menu->popup(m_chevron->mapToGlobal(QPoint(0, m_chevron->height()))); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSignal(signal);
}

QColor SplitCapsule::labelColour() const
{
    return AuroraStyle::mixTowardBlack(m_signal, 0.86);
}

void SplitCapsule::setPressAmount(qreal amount)
{
    if (amount == m_pressAmount)
        return;
    m_pressAmount = amount;
    update();
    m_main->update();
    m_chevron->update();
}

void SplitCapsule::applyPress(QPainter& painter, QPoint origin) const
{
    if (m_pressAmount == 0)
        return;
    const qreal scale = 1 - (1 - kPressedScale) * m_pressAmount;
    const QPointF centre = QRectF(rect()).center() - QPointF(origin);
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
}

QColor SplitCapsule::pressed(QColor colour) const
{
    if (m_pressAmount == 0)
        return colour;
    // Brightening adds the same amount to each channel, as a brightness adjustment does.
    const float lift = float(kPressedBrightness * m_pressAmount);
    const auto up = [lift](float channel) { return std::min(channel + lift, 1.0f); };
    return QColor::fromRgbF(up(colour.redF()), up(colour.greenF()), up(colour.blueF()), colour.alphaF());
}

void SplitCapsule::setSignal(const QColor& signal)
{
    m_signal = signal;
    static_cast<Part*>(m_main)->setColour(labelColour());
    static_cast<Part*>(m_chevron)->setColour(labelColour());
    update();
}

QSize SplitCapsule::sizeHint() const
{
    const QSizeF label = AuroraStyle::capsuleSize(m_main->text(), QStringLiteral("checkmark"));
    const qreal labelWidth = label.width() - 2 * AuroraStyle::kCapsulePaddingX;
    const qreal height = label.height();
    const qreal mainWidth = m_look.mainLeading + labelWidth + m_look.mainTrailing;
    const qreal chevronWidth = 8 + 2 * m_look.chevronPaddingX;
    return QSize(qCeil(mainWidth + 1 + chevronWidth),
                 qCeil(std::max(height, 8 + 2 * m_look.chevronPaddingY)));
}

void SplitCapsule::resizeEvent(QResizeEvent*)
{
    const qreal chevronWidth = 8 + 2 * m_look.chevronPaddingX;
    const int chevronLeft = qRound(width() - chevronWidth);
    m_main->setGeometry(0, 0, chevronLeft - 1, height());
    m_chevron->setGeometry(chevronLeft, 0, width() - chevronLeft, height());
}

void SplitCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    applyPress(painter, QPoint());
    QPainterPath capsule;
    AuroraStyle::addCapsule(capsule, QRectF(rect()));
    painter.fillPath(capsule, pressed(m_signal));
    QColor divider = m_look.dividerColour;
    if (!divider.isValid()) {
        divider = labelColour();
        divider.setAlphaF(0.35f);
    }
    divider = pressed(divider);
    const qreal x = m_chevron->geometry().left() - 1;
    painter.fillRect(QRectF(x, (height() - m_look.dividerHeight) / 2, 1, m_look.dividerHeight), divider);
}

} // namespace velquist
