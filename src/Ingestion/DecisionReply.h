#pragma once

#include "Ingestion/HookEvent.h"

#include <functional>
#include <string_view>

namespace velquist {

// A permission request whose sender waits for one answer, as whoever holds it sees it: the request,
// and the one reply or close it can still get. Main thread only.
class DecisionReply
{
  public:
    virtual ~DecisionReply() = default;

    // The request as it arrived.
    virtual const HookEvent& event() const = 0;
    // Whether an answer can still go out.
    virtual bool isOpen() const = 0;
    // Sends `reply` as the one answer. False when nothing was sent or the sender did not take it.
    virtual bool send(std::string_view reply) = 0;
    // Ends the wait without an answer; the sender falls back on its own.
    virtual void close() = 0;
    // Called once when the sender goes away while the request is open.
    virtual void setOnHangUp(std::function<void()> onHangUp) = 0;
};

} // namespace velquist
