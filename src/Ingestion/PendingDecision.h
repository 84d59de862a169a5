#pragma once

#include "Ingestion/DecisionReply.h"
#include "Ingestion/HookEvent.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace velquist {

class HangupWatcher;
class SocketConnection;

// A permission request whose hook client waits for the user's decision, with the open connection
// on which the one reply must go. Main thread only. The connection is let go as soon as it has
// been used, for a reply or a close, so nothing can be sent twice; dropping an unanswered
// decision closes it without a reply (the hook client then prints its fallback).
class PendingDecision final : public DecisionReply
{
  public:
    // How long a reply may wait for the hook client to take its bytes.
    static constexpr std::chrono::milliseconds kSendTimeout{2000};

    // Made only by the socket server.
    PendingDecision(HookEvent event, std::shared_ptr<SocketConnection> connection,
                    std::shared_ptr<HangupWatcher> watcher);
    ~PendingDecision() override;
    PendingDecision(const PendingDecision&) = delete;
    PendingDecision& operator=(const PendingDecision&) = delete;

    const HookEvent& event() const override { return m_event; }
    // Whether the connection is still there to answer on.
    bool isOpen() const override { return m_connection != nullptr; }

    // Sends `reply` as the one answer and closes the connection. False when nothing was sent (the
    // decision was already answered, closed or abandoned) or the hook client did not take every
    // byte (it had gone or stopped reading).
    bool send(std::string_view reply) override;
    // Closes the connection without a reply; the hook client falls back on its own.
    void close() override;

    // Called once when the hook client goes away while the decision is open (killed, or it gave up
    // waiting). The connection is already closed by then, so its owner only has to let go of it.
    void setOnHangUp(std::function<void()> onHangUp) override { m_onHangUp = std::move(onHangUp); }

  private:
    void release();
    void hungUp();

    const HookEvent m_event;
    std::shared_ptr<SocketConnection> m_connection;
    std::shared_ptr<HangupWatcher> m_watcher;
    std::uint64_t m_watch = 0;
    std::function<void()> m_onHangUp;
};

} // namespace velquist
