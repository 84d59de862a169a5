#pragma once

class QWidget;

namespace velquist {

// How the settings window's own controls read to assistive technology. Qt names a combo box on
// Linux by its current value and a checkable button as a check box; the settings window's pickers
// are named by their label and keep their value as the value, its tabs read as page tabs, and its
// dividing rules as separators.
namespace SettingsAccessibility {

// Installs the accessibility factory once per process; later calls do nothing.
void install();
// Makes `button` (a checkable button) read as a page tab, selected while checked.
void markAsPageTab(QWidget& button);
// Makes `line`, a rule drawn between parts of a window, read as a separator rather than a frame.
void markAsSeparator(QWidget& line);

} // namespace SettingsAccessibility

} // namespace velquist
