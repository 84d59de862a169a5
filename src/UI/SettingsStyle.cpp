#include "UI/SettingsStyle.h"

#include "UI/AuroraStyle.h"
#include "UI/Palette.h"

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
    // Colours are written out: a style sheet takes no QColor.
    return QStringLiteral(R"(
QComboBox, QLineEdit {
    color: rgba(255, 255, 255, 235);
    background: rgba(255, 255, 255, 18);
    border: 1px solid rgba(255, 255, 255, 30);
    border-radius: 5px;
    padding: 2px 8px;
    min-height: 20px;
    selection-background-color: rgb(0, 122, 255);
}
QComboBox { padding-right: 22px; combobox-popup: 0; }
QLineEdit:focus { border: 1px solid rgb(0, 122, 255); }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox QAbstractItemView {
    color: rgba(255, 255, 255, 235);
    background: rgb(44, 44, 48);
    border: 1px solid rgba(255, 255, 255, 30);
    selection-background-color: rgb(0, 122, 255);
    outline: none;
}
QPushButton {
    color: rgba(255, 255, 255, 235);
    background: rgba(255, 255, 255, 30);
    border: 1px solid rgba(255, 255, 255, 22);
    border-radius: 5px;
    padding: 3px 12px;
}
QPushButton:hover { background: rgba(255, 255, 255, 42); }
QPushButton:pressed { background: rgba(255, 255, 255, 60); }
QPushButton:focus { border: 1px solid rgb(0, 122, 255); }
QPushButton[destructive="true"] { color: rgb(255, 105, 97); }
QPushButton[flat="true"] { background: transparent; border: none; padding: 2px; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; border: none; }
QScrollBar:vertical { background: transparent; width: 8px; }
QScrollBar::handle:vertical { background: rgba(255, 255, 255, 50); border-radius: 4px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
QToolTip { color: white; background: rgb(44, 44, 48); border: 1px solid rgba(255, 255, 255, 40); }
)");
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
