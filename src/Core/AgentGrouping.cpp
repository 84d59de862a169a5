#include "Core/AgentGrouping.h"

namespace velquist::AgentGrouping {

std::vector<AgentGroup> groups(const std::vector<Session>& sessions)
{
    std::vector<AgentGroup> result;
    for (const AgentKind kind : kAllAgentKinds) {
        bool present = false;
        int waiting = 0;
        for (const Session& session : sessions) {
            if (session.agent != kind)
                continue;
            present = true;
            const bool unseenDone = session.status.is<SessionStatus::Done>() && !session.doneSeenAt;
            if (session.status.asksForUser() || unseenDone)
                ++waiting;
        }
        if (present)
            result.push_back(AgentGroup{kind, waiting});
    }
    return result;
}

} // namespace velquist::AgentGrouping
