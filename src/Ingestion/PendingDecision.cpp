#include "Ingestion/PendingDecision.h"

#include "Ingestion/HangupWatcher.h"
#include "Ingestion/SocketConnection.h"
#include "Shared/Log.h"

namespace velquist {

PendingDecision::PendingDecision(HookEvent event, std::shared_ptr<SocketConnection> connection,
                                 std::shared_ptr<HangupWatcher> watcher)
    : m_event(std::move(event)), m_connection(std::move(connection)), m_watcher(std::move(watcher))
{
    if (m_connection && m_watcher)
        m_watch = m_watcher->watch(m_connection->descriptor(), [this] { hungUp(); });
}

PendingDecision::~PendingDecision()
{
    close();
}

bool PendingDecision::send(std::string_view reply)
{
    if (!m_connection)
        return false;
    auto connection = std::move(m_connection);
    release();
    const bool sent = connection->sendAndClose(reply, kSendTimeout);
    if (!sent)
        Log::debug("hook", "reply to " + Log::shortId(m_event.sessionID) + " could not be sent");
    return sent;
}

void PendingDecision::close()
{
    if (!m_connection)
        return;
    auto connection = std::move(m_connection);
    release();
    connection->close();
}

// Ends the hang-up watch; it must go before the descriptor is closed.
void PendingDecision::release()
{
    if (m_watcher && m_watch)
        m_watcher->unwatch(m_watch);
    m_watch = 0;
}

void PendingDecision::hungUp()
{
    m_watch = 0;
    if (auto connection = std::move(m_connection))
        connection->close();
    Log::debug("hook", "client of decision " + Log::shortId(m_event.sessionID) + " went away");
    // The owner may drop this decision from inside the callback: nothing here runs after it.
    if (auto onHangUp = m_onHangUp)
        onHangUp();
}

} // namespace velquist
