#include "Settings/SettingsPicker.h"

#include "Settings/SettingsAccessibility.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/SettingsStyle.h"

#include <QPainter>

namespace velquist {

SettingsPicker::SettingsPicker(QWidget* parent) : QComboBox(parent)
{
    SettingsAccessibility::install();
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setFont(SettingsStyle::bodyFont());
}

void SettingsPicker::paintEvent(QPaintEvent* event)
{
    QComboBox::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = 8;
    const QRectF chevron(width() - 9 - side, (height() - side) / 2.0, side, side);
    Glyph::paint(painter, chevron, QStringLiteral("chevron.down"),
                 isEnabled() ? SettingsStyle::secondaryText() : SettingsStyle::sectionStroke());
}

} // namespace velquist
