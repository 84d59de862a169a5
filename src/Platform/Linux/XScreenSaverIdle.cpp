#include "Platform/Linux/XScreenSaverIdle.h"

#include "Platform/WorkerTask.h"

#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace velquist {

XScreenSaverIdle::XScreenSaverIdle(std::string display, const Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_link(std::make_shared<XcbLink>(std::move(display)))
{
    refresh();
}

XScreenSaverIdle::~XScreenSaverIdle() = default;

bool XScreenSaverIdle::canReadIdleTime() const
{
    return !m_link->hasFailed();
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
    if (m_link->hasFailed() || m_inFlight || !QAbstractEventDispatcher::instance())
        return;
    m_inFlight = true;
    runOnWorker<std::optional<double>>(
        this, [link = m_link] { return sample(*link); },
        [this](std::optional<double> idle) {
            m_inFlight = false;
            std::lock_guard lock(m_sampleMutex);
            m_idle = idle;
            m_sampledAt = m_clock.monotonic();
        });
}

std::optional<double> XScreenSaverIdle::sample()
{
    return sample(*m_link);
}

std::optional<double> XScreenSaverIdle::sample(XcbLink& link)
{
    return link.query([&link](xcb_connection_t* connection, xcb_window_t root) -> std::optional<double> {
        xcb_generic_error_t* error = nullptr;
        auto* reply = xcb_screensaver_query_info_reply(connection,
                                                       xcb_screensaver_query_info(connection, root), &error);
        std::free(error);
        if (!reply) {
            // No screen-saver extension on this server.
            link.markFailed();
            return std::nullopt;
        }
        const double idle = reply->ms_since_user_input / 1000.0;
        std::free(reply);
        return idle;
    });
}

} // namespace velquist
