#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

namespace velquist {

// The settings window's look, from the panel's style kit: a dark window, grouped sections as faint
// cards, the desktop's sans-serif face. Every page of the window is drawn with these.
namespace SettingsStyle {

QColor windowBackground();
QColor sectionFill();
QColor sectionStroke();
QColor primaryText();
// Explanations, headers' secondary parts, unselected tab titles.
QColor secondaryText();
// The selected tab's backdrop: the primary colour at 0.12.
QColor selectionFill();
// A switch that is on, a focused field's outline.
QColor accent();

// Row labels and controls.
QFont bodyFont();
// Explanations under a control or a section.
QFont calloutFont();
// Section headers.
QFont headerFont();
// Tab titles.
QFont tabTitleFont();

// The style sheet of the window's standard controls (pickers, text fields, buttons).
QString styleSheet();
// Gives `widget` and what it holds the window's colours and style sheet.
void apply(QWidget& widget);
// Whether `widget` draws its focus ring: only while it has the focus and the focus last moved by
// the keyboard, so a clicked control does not keep a ring that looks like a second selection.
bool showsFocusRing(const QWidget& widget);

} // namespace SettingsStyle
} // namespace velquist
