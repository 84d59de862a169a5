#include "UI/NotchTextField.h"

#include "Core/AttentionCoordinator.h"
#include "Platform/FocusReturn.h"
#include "Shared/Log.h"
#include "UI/Kit/Palette.h"
#include "UI/NotchPanelMark.h"

#include <QPalette>
#include <QTimer>

namespace velquist {

NotchTextField::NotchTextField(AttentionCoordinator* coordinator, FocusReturn* focusReturn, QWidget* parent)
    : QLineEdit(parent), m_coordinator(coordinator), m_focusReturn(focusReturn)
{
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    QFont font = this->font();
    font.setPixelSize(12);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Palette::fieldText());
    palette.setColor(QPalette::PlaceholderText, Palette::fieldPlaceholder());
    setPalette(palette);
    connect(this, &QLineEdit::returnPressed, this, &NotchTextField::submitted);
}

NotchTextField::~NotchTextField()
{
    giveBack();
}

void NotchTextField::showEvent(QShowEvent* event)
{
    QLineEdit::showEvent(event);
    if (m_asked)
        return;
    m_asked = true;
    // Once the field is inside its window and the window is on screen.
    QTimer::singleShot(0, this, &NotchTextField::takeFocus);
}

void NotchTextField::takeFocus()
{
    QWidget* panel = window();
    if (m_holds || !isNotchPanel(panel) || !panel->windowHandle())
        return;
    m_holds = true;
    if (m_coordinator)
        m_coordinator->setTextEntryActive(true);
    if (m_focusReturn)
        m_returnTo = m_focusReturn->activeWindow();
    m_panel = panel->windowHandle();
    // Toggled on the live window: changing the widget's flags would re-create it.
    m_panel->setFlag(Qt::WindowDoesNotAcceptFocus, false);
    panel->raise();
    panel->activateWindow();
    setFocus(Qt::OtherFocusReason);
    Log::debug("textfield", std::string("key=") + (panel->isActiveWindow() ? "true" : "false"));
}

// Runs when the field goes, also when its panel is destroyed with it (a change of screens).
void NotchTextField::giveBack()
{
    if (!m_holds)
        return;
    m_holds = false;
    if (m_panel) {
        const bool wasActive = m_panel->isActive();
        m_panel->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        if (wasActive && m_focusReturn && m_returnTo)
            m_focusReturn->activate(*m_returnTo);
    } else if (m_focusReturn && m_returnTo) {
        m_focusReturn->activate(*m_returnTo);
    }
    if (m_coordinator)
        m_coordinator->setTextEntryActive(false);
}

} // namespace velquist
