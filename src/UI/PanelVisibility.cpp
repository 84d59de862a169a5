#include "UI/PanelVisibility.h"

#include "UI/NotchPanelMark.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace velquist {

PanelVisibility::PanelVisibility(QWidget* view) : QObject(view), m_view(view)
{
    view->installEventFilter(this);
    if (view->isVisible())
        attach();
}

void PanelVisibility::attach()
{
    if (m_attached || !m_view)
        return;
    m_attached = true;
    QWidget* panel = m_view->window();
    if (!isNotchPanel(panel)) {
        // Outside a notch panel a view counts as visible from the first time it is shown.
        m_visible = true;
        Q_EMIT visibleChanged(true);
        return;
    }
    m_window = panel->windowHandle();
    if (m_window)
        m_window->installEventFilter(this);
    update();
}

bool PanelVisibility::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Show)
        attach();
    else if (watched == m_window && (event->type() == QEvent::Expose || event->type() == QEvent::Show ||
                                     event->type() == QEvent::Hide))
        update();
    return QObject::eventFilter(watched, event);
}

void PanelVisibility::update()
{
    if (!m_window)
        return;
    const bool visible = m_window->isVisible() && m_window->isExposed();
    if (visible == m_visible)
        return;
    m_visible = visible;
    Q_EMIT visibleChanged(visible);
}

} // namespace velquist
