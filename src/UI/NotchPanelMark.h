#pragma once

#include <QVariant>
#include <QWidget>

namespace velquist {

// The dynamic property by which a top-level widget says it is a notch panel. Controls that behave
// differently inside a panel (the text field, visibility tracking) look for it on their window.
inline constexpr const char* notchPanelProperty = "velquistNotchPanel";

inline void markAsNotchPanel(QWidget* window)
{
    window->setProperty(notchPanelProperty, true);
}

inline bool isNotchPanel(const QWidget* window)
{
    return window && window->property(notchPanelProperty).toBool();
}

} // namespace velquist
