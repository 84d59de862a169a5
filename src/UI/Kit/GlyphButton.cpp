#include "UI/Kit/GlyphButton.h"

#include "UI/Kit/Glyph.h"
#include "UI/Kit/SettingsStyle.h"

#include <QPainter>
#include <QPixmap>

namespace velquist {

namespace {

QPixmap drawn(const QString& glyph, const QColor& colour, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Glyph::paint(painter, QRectF(0, 0, side, side), glyph, colour, false);
    return pixmap;
}

} // namespace

GlyphButton::GlyphButton(const QString& glyph, const QString& help, QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setIcon(icon(glyph, SettingsStyle::primaryText()));
    setIconSize(QSize(18, 18));
    setToolTip(help);
    setAccessibleName(help);
    setCursor(Qt::PointingHandCursor);
}

QIcon GlyphButton::icon(const QString& glyph, const QColor& colour)
{
    QColor dimmed = colour;
    dimmed.setAlphaF(colour.alphaF() * 0.35f);
    QIcon result;
    for (const int side : {16, 18, 24, 32, 36, 48}) {
        result.addPixmap(drawn(glyph, colour, side), QIcon::Normal);
        result.addPixmap(drawn(glyph, dimmed, side), QIcon::Disabled);
    }
    return result;
}

} // namespace velquist
