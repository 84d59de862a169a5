#include "Characters/AccessibilityGuide.h"

#include "Characters/IntroStyle.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace velquist {
namespace {

constexpr qreal kPadding = 12;
constexpr qreal kSpacing = 9;
constexpr qreal kRadius = 13;
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
// Where a Linux user gets window access: the session chosen on the log-in screen.
QString name()
{
    return QStringLiteral("X11 with a window manager");
}
const QString& first()
{
    static const QString text = QStringLiteral("Log-in screen");
    return text;
}
const QString& second()
{
    static const QString text = QStringLiteral("Session");
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
    setAccessibleName(granted ? QStringLiteral("Log-in screen, Session: X11 with a window manager, in use.")
                              : QStringLiteral("Log-in screen, Session: choose X11 with a window manager."));
    setFixedHeight(sizeHint().height());
}

QColor AccessibilityGuide::live()
{
    return Palette::guideSwitchOn();
}

QSize AccessibilityGuide::sizeHint() const
{
    const QFontMetricsF crumb(crumbFont());
    const qreal crumbWidth =
        9 + 5 + crumb.horizontalAdvance(first()) + 5 + 7 + 5 + crumb.horizontalAdvance(second());
    const qreal rowWidth =
        kIcon + kSpacing + QFontMetricsF(nameFont()).horizontalAdvance(name()) + kMinimumGap + kIcon;
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
    painter.fillPath(outline, Palette::guideFill());
    painter.setPen(QPen(Palette::guideStroke(), 1));
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);

    // Breadcrumb.
    const QColor crumbColour = Palette::guideCrumb();
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
    // The row: the session as a log-in screen lists it, with the mark of the one to choose.
    const QRectF icon(kPadding, rowTop, kIcon, kIcon);
    painter.setPen(QPen(Palette::guideIcon(), 1.4));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(icon.adjusted(1, 3, -1, -3), 3, 3);
    painter.drawLine(QPointF(icon.left() + 1, icon.top() + 7), QPointF(icon.right() - 1, icon.top() + 7));
    painter.setFont(nameFont());
    painter.setPen(Palette::guideName());
    painter.drawText(QRectF(icon.right() + kSpacing, rowTop, box.width(), kIcon), Qt::AlignVCenter, name());

    const QRectF mark(box.right() - kPadding - kIcon, rowTop, kIcon, kIcon);
    if (m_granted) {
        Glyph::paint(painter, mark, QStringLiteral("checkmark.circle.fill"), live());
    } else {
        painter.setPen(QPen(live(), 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(mark.adjusted(2, 2, -2, -2));
        painter.setPen(Qt::NoPen);
        painter.setBrush(live());
        painter.drawEllipse(mark.adjusted(6.5, 6.5, -6.5, -6.5));
    }
}

} // namespace velquist
