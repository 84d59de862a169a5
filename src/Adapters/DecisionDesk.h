#pragma once

#include "Core/Session.h"
#include "Ingestion/DecisionReply.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace velquist {

// The permission requests an adapter holds: at most one per session, each until it is answered,
// let go of, replaced by a newer request of its session or its sender goes away. Main thread only.
class DecisionDesk
{
  public:
    // Told after the desk let go of a request whose sender went away: the request, and the status
    // its session had before any request of its own was shown.
    using HangUpHandler =
        std::function<void(const std::string& key, const HookEvent& request, const SessionStatus& before)>;

    explicit DecisionDesk(HangUpHandler onHangUp);
    ~DecisionDesk();
    DecisionDesk(const DecisionDesk&) = delete;
    DecisionDesk& operator=(const DecisionDesk&) = delete;

    // Holds `reply` for the session `key`, whose status without the request is `before`. An earlier
    // request of the session is closed without an answer, and the status before it is kept.
    void hold(const std::string& key, std::shared_ptr<DecisionReply> reply, SessionStatus before);
    bool holds(const std::string& key) const;
    // The held request of the session that can still be answered; one that cannot is let go of.
    const HookEvent* answerable(const std::string& key);
    // Sends the one answer to the session's held request and lets go of it. False when nothing is
    // held or the answer did not reach its sender.
    bool answer(const std::string& key, std::string_view reply);
    // Lets go of the session's held request without an answer; its sender falls back on the
    // agent's own prompt.
    void cancel(const std::string& key);

  private:
    struct Held
    {
        std::shared_ptr<DecisionReply> reply;
        SessionStatus before;
    };

    void hungUp(const std::string& key, const DecisionReply* reply);

    HangUpHandler m_onHangUp;
    std::map<std::string, Held> m_held;
};

} // namespace velquist
