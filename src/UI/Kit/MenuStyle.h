#pragma once

#include <QString>

class QMenu;
class QMenuBar;

namespace velquist {

// Pop-up menus in the panel's kit: dark, rounded, the accent behind the item under the pointer,
// whatever the desktop's own style would draw. Used by the panel's menus and the tray menu.
namespace MenuStyle {

QString styleSheet();
// Styles `menu` and rounds its window; call once, before it is first shown.
void apply(QMenu& menu);
// Styles a menu bar to sit on the settings window's dark background.
void apply(QMenuBar& bar);

} // namespace MenuStyle

} // namespace velquist
