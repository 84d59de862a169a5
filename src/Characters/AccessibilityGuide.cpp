#include "Characters/AccessibilityGuide.h"

#include "Characters/IntroStyle.h"
#include "Characters/VelquistMark.h"
#include "UI/AuroraStyle.h"
#include "UI/Glyph.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velquist {
namespace {

constexpr qreal kPadding = 12;
constexpr qreal kSpacing = 9;
constexpr qreal kRadius = 13;
constexpr QSizeF kSwitch{34, 20};
constexpr qreal kIcon = 20;
constexpr qreal kMinimumGap = 12;

QFont crumbFont()
{
    return AuroraStyle::font(10.5, QFont::Medium);
}
QFont nameFont()
{
    return AuroraStyle::font(12.5, QFont::Medium);
}
QString name()
{
    return QStringLiteral("Velquist");
}
const QString& first()
{
    static const QString text = QStringLiteral("Desktop");
    return text;
}
const QString& second()
{
    static const QString text = QStringLiteral("Window control");
    return text;
}

qreal crumbHeight()
{
    return std::ceil(QFontMetricsF(crumbFont()).height());
}

} // namespace

AccessibilityGuide::AccessibilityGuide(bool granted, QWidget* parent) : QWidget(parent), m_granted(granted)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(granted ? QStringLiteral("Window control, Velquist with its switch turned on.")
                              : QStringLiteral("Window control, Velquist with its switch turned off."));
    setFixedHeight(sizeHint().height());
}

QColor AccessibilityGuide::live()
{
    return IntroStyle::srgb(0.196, 0.804, 0.294);
}

QSize AccessibilityGuide::sizeHint() const
{
    const QFontMetricsF crumb(crumbFont());
    const qreal crumbWidth =
        9 + 5 + crumb.horizontalAdvance(first()) + 5 + 7 + 5 + crumb.horizontalAdvance(second());
    const qreal rowWidth = kIcon + kSpacing + QFontMetricsF(nameFont()).horizontalAdvance(name()) +
                           kMinimumGap + kSwitch.width();
    const qreal height = kPadding + crumbHeight() + kSpacing + kIcon + kPadding;
    return QSize(int(std::ceil(std::max(crumbWidth, rowWidth) + 2 * kPadding)), int(std::ceil(height)));
}

void AccessibilityGuide::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QPainterPath outline;
    outline.addRoundedRect(box, kRadius, kRadius);
    painter.fillPath(outline, IntroStyle::white(0.055));
    painter.setPen(QPen(IntroStyle::white(0.1), 1));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);

    // Breadcrumb.
    const QColor crumbColour = IntroStyle::white(0.42);
    const QFontMetricsF crumb(crumbFont());
    const qreal crumbTop = kPadding;
    const qreal crumbMid = crumbTop + crumbHeight() / 2;
    qreal x = kPadding;
    Glyph::paint(painter, QRectF(x, crumbMid - 4.5, 9, 9), QStringLiteral("gearshape.fill"), crumbColour);
    x += 9 + 5;
    painter.setFont(crumbFont());
    painter.setPen(crumbColour);
    painter.drawText(QRectF(x, crumbTop, crumb.horizontalAdvance(first()) + 1, crumbHeight()),
                     Qt::AlignVCenter, first());
    x += crumb.horizontalAdvance(first()) + 5;
    Glyph::paint(painter, QRectF(x, crumbMid - 3.5, 7, 7), QStringLiteral("chevron.right"), crumbColour);
    x += 7 + 5;
    painter.setPen(crumbColour);
    painter.drawText(QRectF(x, crumbTop, crumb.horizontalAdvance(second()) + 1, crumbHeight()),
                     Qt::AlignVCenter, second());

    // The row: icon, name, switch.
    const qreal rowTop = crumbTop + crumbHeight() + kSpacing;
    const QRectF icon(kPadding, rowTop, kIcon, kIcon);
    painter.drawImage(icon, VelquistMark::applicationImage(int(kIcon * 2)));
    painter.setFont(nameFont());
    painter.setPen(IntroStyle::white(0.88));
    painter.drawText(QRectF(icon.right() + kSpacing, rowTop, box.width(), kIcon), Qt::AlignVCenter, name());

    const QRectF track(box.right() - kPadding - kSwitch.width(), rowTop, kSwitch.width(), kSwitch.height());
    QPainterPath capsule;
    capsule.addRoundedRect(track, track.height() / 2, track.height() / 2);
    painter.fillPath(capsule, m_granted ? live() : IntroStyle::white(0.16));
    const qreal knobX = m_granted ? track.right() - 2 - 16 : track.left() + 2;
    const QRectF knob(knobX, track.top() + 2, 16, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, int(0.3 * 255)));
    painter.drawEllipse(knob.translated(0, 1).adjusted(-0.75, -0.75, 0.75, 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}

} // namespace velquist
