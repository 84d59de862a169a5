#include "Platform/Linux/XScreenSaverIdle.h"

#include "Platform/WorkerTask.h"

#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace velquist {

XScreenSaverIdle::XScreenSaverIdle(std::string display, const Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_connection(std::make_shared<Connection>(std::move(display)))
{
    m_connection->failed = m_connection->display.empty();
    refresh();
}

XScreenSaverIdle::~XScreenSaverIdle() = default;

XScreenSaverIdle::Connection::~Connection()
{
    if (connection)
        xcb_disconnect(connection);
}

bool XScreenSaverIdle::canReadIdleTime() const
{
    return !m_connection->failed;
}

double XScreenSaverIdle::seconds() const
{
    std::lock_guard lock(m_sampleMutex);
    if (!m_idle)
        return 0;
    return *m_idle + std::chrono::duration<double>(m_clock.monotonic() - m_sampledAt).count();
}

void XScreenSaverIdle::refresh()
{
    if (m_connection->failed || m_inFlight || !QAbstractEventDispatcher::instance())
        return;
    m_inFlight = true;
    runOnWorker<std::optional<double>>(
        this, [connection = m_connection] { return connection->sample(); },
        [this](std::optional<double> idle) {
            m_inFlight = false;
            std::lock_guard lock(m_sampleMutex);
            m_idle = idle;
            m_sampledAt = m_clock.monotonic();
        });
}

std::optional<double> XScreenSaverIdle::sample()
{
    return m_connection->sample();
}

std::optional<double> XScreenSaverIdle::Connection::sample()
{
    std::lock_guard lock(mutex);
    if (connection && xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
    }
    if (!connection) {
        if (display.empty())
            return std::nullopt;
        connection = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            connection = nullptr;
            failed = true;
            return std::nullopt;
        }
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_generic_error_t* error = nullptr;
    auto* reply = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info(connection, screen->root), &error);
    std::free(error);
    if (!reply) {
        // No screen-saver extension on this server.
        failed = true;
        return std::nullopt;
    }
    const double idle = reply->ms_since_user_input / 1000.0;
    std::free(reply);
    return idle;
}

} // namespace velquist
