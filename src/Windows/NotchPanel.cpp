#include "Windows/NotchPanel.h"

#include "Platform/PanelShaper.h"
#include "UI/Kit/Palette.h"
#include "UI/NotchPanelMark.h"

#include <QWindow>

namespace velquist {

NotchPanel::NotchPanel(PanelShaper& shaper, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint),
      m_shaper(shaper), m_translucent(shaper.drawsTranslucency())
{
    markAsNotchPanel(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    setWindowTitle(QStringLiteral("Velquist"));
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // What shows between the outline and the cut of the window.
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, Palette::notch());
        setPalette(palette);
        setAutoFillBackground(true);
    }
}

NotchPanel::~NotchPanel() = default;

bool NotchPanel::allowsKeyForTextEntry() const
{
    const QWindow* window = windowHandle();
    const Qt::WindowFlags flags = window ? window->flags() : windowFlags();
    return !flags.testFlag(Qt::WindowDoesNotAcceptFocus);
}

void NotchPanel::setAllowsKeyForTextEntry(bool allows)
{
    // Toggled on the live window: changing the widget's flags would re-create it.
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowDoesNotAcceptFocus, !allows);
    else
        setWindowFlag(Qt::WindowDoesNotAcceptFocus, !allows);
}

void NotchPanel::setNotchOutline(const QPainterPath& outline)
{
    const QRegion region(outline.toFillPolygon().toPolygon());
    if (region == m_inputRegion)
        return;
    m_inputRegion = region;
    applyShape();
}

void NotchPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once per native window, before the server first maps it.
    if (QWindow* window = windowHandle();
        !m_translucent && window && window->handle() && window->winId() != m_preparedWindow) {
        m_shaper.prepareCutWindow(*window);
        m_preparedWindow = window->winId();
    }
    applyShape();
}

void NotchPanel::applyShape()
{
    if (!m_translucent)
        // An empty mask would mean no cut at all; one pixel outside the window leaves nothing.
        setMask(m_inputRegion.isEmpty() ? QRegion(-1, -1, 1, 1) : m_inputRegion);
    if (QWindow* window = windowHandle(); window && window->handle())
        m_shaper.setInputRegion(*window, m_inputRegion);
}

} // namespace velquist
