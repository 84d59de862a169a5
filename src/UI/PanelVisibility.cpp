#include "UI/PanelVisibility.h"

#include <QEvent>

namespace velquist {

PanelVisibility::PanelVisibility(QWidget* view) : QObject(view), m_view(view)
{
    view->installEventFilter(this);
    attachWindow();
    m_visible = m_view->isVisible() && m_window && m_window->isExposed();
}

void PanelVisibility::attachWindow()
{
    QWindow* window = m_view ? m_view->window()->windowHandle() : nullptr;
    if (window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (m_window) {
        m_window->installEventFilter(this);
        connect(m_window, &QWindow::visibilityChanged, this, &PanelVisibility::refresh, Qt::UniqueConnection);
    }
}

bool PanelVisibility::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
    case QEvent::Expose:
    case QEvent::WinIdChange:
        // Let the window take the event first: exposure is updated by its own handler.
        QMetaObject::invokeMethod(this, &PanelVisibility::refresh, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PanelVisibility::refresh()
{
    attachWindow();
    const bool visible = m_view && m_view->isVisible() && m_window && m_window->isExposed();
    if (visible == m_visible)
        return;
    m_visible = visible;
    Q_EMIT visibilityChanged(visible);
}

} // namespace velquist
