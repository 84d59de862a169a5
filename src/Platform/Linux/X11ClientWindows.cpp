#include "Platform/Linux/X11ClientWindows.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace velquist {

namespace {

struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Drops the error of a failed request: a window may vanish between two requests.
template <typename T> Reply<T> take(T* reply, xcb_generic_error_t* error)
{
    std::free(error);
    return Reply<T>(reply);
}

Reply<xcb_get_property_reply_t> property(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    return take(xcb_get_property_reply(connection, cookie, &error), error);
}

std::vector<xcb_window_t> windowsOfReply(xcb_get_property_reply_t* reply)
{
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
        return {};
    const auto* values = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    return {values, values + xcb_get_property_value_length(reply) / 4};
}

} // namespace

X11ClientWindows::X11ClientWindows(std::string display) : m_display(std::move(display)) {}

X11ClientWindows::~X11ClientWindows()
{
    disconnect();
}

void X11ClientWindows::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
}

bool X11ClientWindows::connect()
{
    if (m_connection && !xcb_connection_has_error(m_connection))
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
    const char* names[] = {"_NET_WM_PID", "_NET_CLIENT_LIST", "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP"};
    unsigned* atoms[] = {&m_pidAtom, &m_clientListAtom, &m_windowTypeAtom, &m_dockAtom, &m_desktopAtom};
    xcb_intern_atom_cookie_t cookies[5];
    for (int i = 0; i < 5; ++i)
        cookies[i] = xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
    for (int i = 0; i < 5; ++i) {
        xcb_generic_error_t* error = nullptr;
        const auto reply = take(xcb_intern_atom_reply(m_connection, cookies[i], &error), error);
        *atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return m_pidAtom != xcb_atom_t{XCB_ATOM_NONE};
}

bool X11ClientWindows::isAvailable()
{
    return connect();
}

std::optional<ClientWindow> X11ClientWindows::windowOf(pid_t pid)
{
    if (pid <= 0 || !connect())
        return std::nullopt;
    xcb_connection_t* c = m_connection;

    std::vector<xcb_window_t> candidates;
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(c)); screens.rem; xcb_screen_next(&screens)) {
        const xcb_window_t root = screens.data->root;
        const auto clients =
            property(c, xcb_get_property(c, 0, root, m_clientListAtom, XCB_ATOM_WINDOW, 0, 1 << 16));
        auto listed = windowsOfReply(clients.get());
        if (!listed.empty()) {
            candidates.insert(candidates.end(), listed.begin(), listed.end());
            continue;
        }
        // No window manager keeps a list: the top-level windows are the root's mapped children.
        xcb_generic_error_t* error = nullptr;
        const auto tree = take(xcb_query_tree_reply(c, xcb_query_tree(c, root), &error), error);
        if (!tree)
            continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        for (int i = 0; i < count; ++i)
            cookies.push_back(xcb_get_window_attributes(c, children[i]));
        for (int i = 0; i < count; ++i) {
            const auto attributes =
                take(xcb_get_window_attributes_reply(c, cookies[static_cast<size_t>(i)], &error), error);
            if (attributes && !attributes->override_redirect &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                candidates.push_back(children[i]);
        }
    }

    std::vector<xcb_get_property_cookie_t> pidCookies;
    for (const xcb_window_t window : candidates)
        pidCookies.push_back(xcb_get_property(c, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1));
    std::vector<xcb_window_t> owned;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto reply = property(c, pidCookies[i]);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(reply.get())) == static_cast<uint32_t>(pid))
            owned.push_back(candidates[i]);
    }

    for (const xcb_window_t window : owned) {
        const auto types =
            property(c, xcb_get_property(c, 0, window, m_windowTypeAtom, XCB_ATOM_ATOM, 0, 32));
        bool ordinary = true;
        if (types && types->format == 32) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(types.get()));
            const int count = xcb_get_property_value_length(types.get()) / 4;
            for (int i = 0; i < count; ++i) {
                if (atoms[i] == m_dockAtom || atoms[i] == m_desktopAtom)
                    ordinary = false;
            }
        }
        if (!ordinary)
            continue;
        ClientWindow result;
        const auto wmClass =
            property(c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256));
        if (wmClass && wmClass->format == 8) {
            // "instance\0class\0"
            const auto* text = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
            const std::string value(text,
                                    static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get())));
            const auto split = value.find('\0');
            result.instance = value.substr(0, split);
            if (split != std::string::npos)
                result.windowClass = value.substr(split + 1, value.find('\0', split + 1) - split - 1);
        }
        return result;
    }
    return std::nullopt;
}

} // namespace velquist
