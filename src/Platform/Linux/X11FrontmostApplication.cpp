#include "Platform/Linux/X11FrontmostApplication.h"

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace velquist {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The first 32-bit value of a property, or 0.
std::uint32_t cardinal(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                       xcb_atom_t type)
{
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1), &error);
    std::free(error);
    std::uint32_t value = 0;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        std::memcpy(&value, xcb_get_property_value(reply), sizeof value);
    std::free(reply);
    return value;
}

} // namespace

X11FrontmostApplication::X11FrontmostApplication(std::string display)
{
    if (display.empty())
        return;
    m_connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_activeAtom = internAtom(m_connection, "_NET_ACTIVE_WINDOW");
    m_pidAtom = internAtom(m_connection, "_NET_WM_PID");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    readActiveWindow();
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_wakeFd >= 0)
        m_thread = std::thread([this] { listen(); });
}

X11FrontmostApplication::~X11FrontmostApplication()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11FrontmostApplication::canTellFrontmost() const
{
    return m_connection != nullptr;
}

// The request a pager makes (source 2), which window managers honour without focus-stealing checks.
void X11FrontmostApplication::activate(std::uint32_t window)
{
    if (!m_connection || !window)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_activeAtom;
    message.data.data32[0] = 2;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
}

void X11FrontmostApplication::readActiveWindow()
{
    const xcb_window_t active = cardinal(m_connection, m_root, m_activeAtom, XCB_ATOM_WINDOW);
    const std::uint32_t pid = active ? cardinal(m_connection, active, m_pidAtom, XCB_ATOM_CARDINAL) : 0;
    publish(active, pid <= 0x7fffffffu ? static_cast<pid_t>(pid) : 0);
}

void X11FrontmostApplication::listen()
{
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    while (!xcb_connection_has_error(m_connection)) {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == m_activeAtom)
                changed = true;
            std::free(event);
        }
        if (changed)
            readActiveWindow();
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
    }
}

} // namespace velquist
