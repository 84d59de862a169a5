#include "Platform/Linux/XcbPanelShaper.h"

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include <xcb/shape.h>

namespace velquist {

std::unique_ptr<PanelShaper> XcbPanelShaper::create()
{
    // The native interface exists only on the xcb platform; asking elsewhere crashes.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::make_unique<UnavailablePanelShaper>();
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::make_unique<UnavailablePanelShaper>();
    return std::unique_ptr<PanelShaper>(new XcbPanelShaper(x11->connection(), 0));
}

XcbPanelShaper::XcbPanelShaper(xcb_connection_t* connection, int screen)
    : m_connection(connection), m_screen(screen)
{
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(m_connection, &xcb_shape_id);
    m_hasShape = shape && shape->present;
}

bool XcbPanelShaper::drawsTranslucency() const
{
    // A compositing manager owns this selection for as long as it runs.
    const std::string name = "_NET_WM_CM_S" + std::to_string(m_screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 1, std::uint16_t(name.size()), name.c_str()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}

void XcbPanelShaper::setInputRegion(QWindow& window, const QRegion& region)
{
    if (!m_hasShape || !window.handle())
        return;
    // The server counts in device pixels.
    const qreal ratio = window.devicePixelRatio();
    std::vector<xcb_rectangle_t> rectangles;
    for (const QRect& rect : region) {
        const QRect device(
            QPoint(qRound(rect.x() * ratio), qRound(rect.y() * ratio)),
            QPoint(qRound((rect.right() + 1) * ratio) - 1, qRound((rect.bottom() + 1) * ratio) - 1));
        rectangles.push_back({std::int16_t(device.x()), std::int16_t(device.y()),
                              std::uint16_t(device.width()), std::uint16_t(device.height())});
    }
    xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
                         xcb_window_t(window.winId()), 0, 0, std::uint32_t(rectangles.size()),
                         rectangles.data());
    xcb_flush(m_connection);
}

void XcbPanelShaper::prepareCutWindow(QWindow& window)
{
    if (!window.handle() || window.format().alphaBufferSize() > 0)
        return;
    // Qt gives each window a colour map of its own. A cut window uses the root visual, so the
    // screen's default map serves it as well.
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < m_screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return;
    const std::uint32_t colormap = screens.data->default_colormap;
    xcb_change_window_attributes(m_connection, xcb_window_t(window.winId()), XCB_CW_COLORMAP, &colormap);
    xcb_flush(m_connection);
}

} // namespace velquist
