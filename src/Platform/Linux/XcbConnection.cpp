#include "Platform/Linux/XcbConnection.h"

#include <cstdlib>
#include <cstring>

namespace velquist {

XcbConnection::XcbConnection(std::string display) : m_display(std::move(display)) {}

XcbConnection::~XcbConnection()
{
    disconnect();
}

void XcbConnection::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_roots.clear();
    m_atoms.clear();
}

bool XcbConnection::isConnected() const
{
    return m_connection && !xcb_connection_has_error(m_connection);
}

bool XcbConnection::ensure()
{
    if (isConnected())
        return true;
    disconnect();
    if (m_display.empty())
        return false;
    // xcb_disconnect must be called even when the connection failed.
    m_connection = xcb_connect(m_display.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        disconnect();
        return false;
    }
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); screens.rem;
         xcb_screen_next(&screens))
        m_roots.push_back(screens.data->root);
    return !m_roots.empty();
}

xcb_atom_t XcbConnection::atom(const std::string& name)
{
    if (const auto found = m_atoms.find(name); found != m_atoms.end())
        return found->second;
    if (!isConnected())
        return XCB_ATOM_NONE;
    const auto cookie =
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_generic_error_t* error = nullptr;
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, &error);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    std::free(error);
    if (result != XCB_ATOM_NONE)
        m_atoms.emplace(name, result);
    return result;
}

xcb_get_property_cookie_t XcbConnection::ask(xcb_window_t window, xcb_atom_t property, std::uint32_t maxBytes)
{
    return xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            (maxBytes + 3) / 4);
}

std::optional<XcbConnection::Property> XcbConnection::take(xcb_get_property_cookie_t cookie)
{
    // A window may vanish between two requests: its error is dropped and the answer is empty.
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(m_connection, cookie, &error);
    std::free(error);
    if (!reply)
        return std::nullopt;
    std::optional<Property> result;
    if (reply->type != XCB_ATOM_NONE) {
        const auto length = xcb_get_property_value_length(reply);
        result = Property{reply->type, reply->format,
                          std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                                      static_cast<std::size_t>(length > 0 ? length : 0)),
                          reply->bytes_after > 0};
    }
    std::free(reply);
    return result;
}

std::vector<std::uint32_t> XcbConnection::values32(const std::optional<Property>& property)
{
    if (!property || property->format != 32)
        return {};
    std::vector<std::uint32_t> values(property->bytes.size() / 4);
    if (!values.empty())
        std::memcpy(values.data(), property->bytes.data(), values.size() * 4);
    return values;
}

} // namespace velquist
