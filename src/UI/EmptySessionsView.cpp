#include "UI/EmptySessionsView.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velquist {
namespace {
QFont textFont()
{
    return AuroraStyle::font(11.5);
}
constexpr qreal kPaddingY = 28, kRing = 26, kSpacing = 8;
const QString kText = QStringLiteral("No active sessions");
} // namespace

EmptySessionsView::EmptySessionsView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

QSize EmptySessionsView::sizeHint() const
{
    const QFontMetricsF metrics(textFont());
    return QSize(int(std::ceil(metrics.horizontalAdvance(kText))),
                 int(std::ceil(2 * kPaddingY + kRing + kSpacing + metrics.height())));
}

void EmptySessionsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(width() / 2.0 - kRing / 2, kPaddingY, kRing, kRing);
    // A soft glow around the ring, then the ring's 1-pt line inside its bounds.
    for (int step = 8; step >= 1; step -= 2) {
        painter.setPen(QPen(Palette::emptyRingGlow(), step));
        painter.drawEllipse(ring.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.setPen(QPen(Palette::trackLine(), 1));
    painter.drawEllipse(ring.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setFont(textFont());
    painter.setPen(AuroraStyle::secondary());
    painter.drawText(QRectF(0, ring.bottom() + kSpacing, width(), QFontMetricsF(textFont()).height()),
                     Qt::AlignHCenter | Qt::AlignVCenter, kText);
}

} // namespace velquist
