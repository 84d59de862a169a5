#include "UI/Kit/SettingsStyle.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

#include <QPalette>
#include <QWidget>

namespace velquist::SettingsStyle {

QColor windowBackground()
{
    return Palette::settingsWindow();
}

QColor sectionFill()
{
    return Palette::settingsSectionFill();
}

QColor sectionStroke()
{
    return Palette::settingsSectionStroke();
}

QColor primaryText()
{
    return Palette::textPrimary();
}

QColor secondaryText()
{
    return Palette::secondary();
}

QColor selectionFill()
{
    return Palette::settingsSelection();
}

QColor accent()
{
    return Palette::systemBlue();
}

QFont bodyFont()
{
    return AuroraStyle::font(13);
}

QFont calloutFont()
{
    return AuroraStyle::font(11.5);
}

QFont headerFont()
{
    return AuroraStyle::font(12, QFont::DemiBold);
}

QFont tabTitleFont()
{
    return AuroraStyle::font(11);
}

QString styleSheet()
{
    using Palette::css;
    return QStringLiteral(R"(
QComboBox, QLineEdit {
    color: %1;
    background: %2;
    border: 1px solid %3;
    border-radius: 5px;
    padding: 2px 8px;
    min-height: 20px;
    selection-background-color: %4;
}
QComboBox { padding-right: 22px; combobox-popup: 0; }
QLineEdit:focus { border: 1px solid %4; }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox QAbstractItemView {
    color: %1;
    background: %5;
    border: 1px solid %3;
    selection-background-color: %4;
    outline: none;
}
QPushButton {
    color: %1;
    background: %6;
    border: 1px solid %7;
    border-radius: 5px;
    padding: 3px 12px;
}
QPushButton:hover { background: %8; }
QPushButton:pressed { background: %9; }
QPushButton:focus { border: 1px solid %4; }
QPushButton[destructive="true"] { color: %10; }
QPushButton[flat="true"] { background: transparent; border: none; padding: 2px; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; border: none; }
QScrollBar:vertical { background: transparent; width: 8px; }
QScrollBar::handle:vertical { background: %11; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
QToolTip { color: %12; background: %5; border: 1px solid %13; }
)")
        .arg(css(Palette::controlText()), css(Palette::controlFill()), css(Palette::controlStroke()),
             css(Palette::selectionBlue()), css(Palette::popupFill()), css(Palette::buttonFill()),
             css(Palette::buttonStroke()), css(Palette::buttonHover()), css(Palette::buttonPressed()))
        .arg(css(Palette::destructiveText()), css(Palette::scrollHandle()), css(Palette::tooltipText()),
             css(Palette::tooltipStroke()));
}

void apply(QWidget& widget)
{
    widget.setStyleSheet(styleSheet());
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, windowBackground());
    palette.setColor(QPalette::WindowText, primaryText());
    palette.setColor(QPalette::Text, primaryText());
    palette.setColor(QPalette::PlaceholderText, secondaryText());
    widget.setPalette(palette);
}

bool showsFocusRing(const QWidget& widget)
{
    const QWidget* window = widget.window();
    return widget.hasFocus() && window && window->testAttribute(Qt::WA_KeyboardFocusChange);
}

} // namespace velquist::SettingsStyle
