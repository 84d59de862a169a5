#include "Platform/Linux/LinuxPointerSource.h"

#include "Platform/Linux/XcbConnection.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <cstdlib>
#include <xcb/xinput.h>

namespace velquist {

namespace {

std::optional<Qt::MouseButton> qtButton(std::uint32_t button)
{
    // 4 to 7 are the wheel's turns.
    switch (button) {
    case 1:
        return Qt::LeftButton;
    case 2:
        return Qt::MiddleButton;
    case 3:
        return Qt::RightButton;
    case 8:
        return Qt::BackButton;
    case 9:
        return Qt::ForwardButton;
    default:
        return std::nullopt;
    }
}

} // namespace

LinuxPointerSource::LinuxPointerSource(std::string display, QObject* parent)
    : PointerSource(parent), m_connection(std::make_unique<XcbConnection>(std::move(display)))
{
    connectToServer();
}

LinuxPointerSource::~LinuxPointerSource() = default;

bool LinuxPointerSource::connectToServer()
{
    if (m_connection->isConnected())
        return true;
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_hasRawEvents = false;
    if (!m_connection->ensure())
        return false;
    xcb_connection_t* c = m_connection->get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (extension && extension->present) {
        // Raw events came with version 2.0, their delivery to every client with 2.1; the server
        // must hear which version we speak.
        xcb_generic_error_t* error = nullptr;
        xcb_input_xi_query_version_reply_t* version =
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), &error);
        m_hasRawEvents = version && version->major_version >= 2;
        m_inputOpcode = extension->major_opcode;
        std::free(version);
        std::free(error);
    }
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LinuxPointerSource::readEvents);
    if (m_interest > 0)
        select(true);
    return true;
}

bool LinuxPointerSource::canTrackPosition() const
{
    return m_connection->isConnected();
}

bool LinuxPointerSource::canWatchPointer() const
{
    return m_connection->isConnected() && m_hasRawEvents;
}

std::optional<QPoint> LinuxPointerSource::queryPosition() const
{
    if (!m_connection->isConnected())
        return std::nullopt;
    xcb_connection_t* c = m_connection->get();
    xcb_generic_error_t* error = nullptr;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, m_connection->roots().front()), &error);
    std::free(error);
    if (!reply)
        return std::nullopt;
    const QPoint position(reply->root_x, reply->root_y);
    std::free(reply);
    return position;
}

std::optional<QPoint> LinuxPointerSource::position() const
{
    const auto result = queryPosition();
    // Waiting for the reply may have queued events that the socket will not announce again.
    QMetaObject::invokeMethod(const_cast<LinuxPointerSource*>(this), &LinuxPointerSource::readEvents,
                              Qt::QueuedConnection);
    return result;
}

void LinuxPointerSource::acquire()
{
    if (++m_interest == 1 && connectToServer())
        select(true);
}

void LinuxPointerSource::release()
{
    if (m_interest == 0)
        return;
    if (--m_interest == 0)
        select(false);
}

void LinuxPointerSource::select(bool watching)
{
    if (!m_hasRawEvents || !m_connection->isConnected())
        return;
    struct
    {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
           watching
               ? std::uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS)
               : 0u};
    // Waited for, so that whatever the caller does next happens after the server has heard it.
    std::free(xcb_request_check(m_connection->get(),
                                xcb_input_xi_select_events_checked(
                                    m_connection->get(), m_connection->roots().front(), 1, &mask.head)));
    QMetaObject::invokeMethod(this, &LinuxPointerSource::readEvents, Qt::QueuedConnection);
}

void LinuxPointerSource::readEvents()
{
    if (!m_connection->isConnected()) {
        // A closed socket stays readable: stop listening until an interest connects again.
        if (m_notifier)
            m_notifier->setEnabled(false);
        return;
    }
    xcb_connection_t* c = m_connection->get();
    bool motion = false;
    std::vector<Qt::MouseButton> presses;
    const auto take = [&](xcb_generic_event_t* event) {
        if ((event->response_type & 0x7F) == XCB_GE_GENERIC) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (generic->extension == m_inputOpcode && generic->event_type == XCB_INPUT_RAW_MOTION)
                motion = true;
            if (generic->extension == m_inputOpcode && generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
                const auto* press = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
                if (const auto button = qtButton(press->detail))
                    presses.push_back(*button);
            }
        }
        std::free(event);
    };
    while (xcb_generic_event_t* event = xcb_poll_for_event(c))
        take(event);
    // Events that arrive after the last release are dropped: nobody asked for them.
    if (m_interest == 0 || (!motion && presses.empty()))
        return;
    const auto where = queryPosition();
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c))
        take(event);
    if (!where)
        return;
    if (motion)
        Q_EMIT moved(*where);
    for (const auto button : presses)
        Q_EMIT buttonPressed(*where, button);
}

} // namespace velquist
