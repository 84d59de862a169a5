#include "Platform/Linux/XcbLink.h"

#include <xcb/xcb.h>

namespace velquist {

XcbLink::XcbLink(std::string display) : m_display(std::move(display))
{
    m_failed = m_display.empty();
}

XcbLink::~XcbLink()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_connection_t* XcbLink::connection()
{
    if (m_connection && xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
    if (!m_connection && !m_display.empty()) {
        // xcb_disconnect must be called even when the connection failed.
        m_connection = xcb_connect(m_display.c_str(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
            m_failed = true;
        }
    }
    return m_connection;
}

std::uint32_t XcbLink::rootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

} // namespace velquist
