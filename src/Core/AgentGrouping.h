#pragma once

#include "Core/Session.h"
#include "Shared/AgentKind.h"

#include <vector>

namespace velquist {

// One agent kind's entry in the collapsed bar.
struct AgentGroup
{
    AgentKind kind = AgentKind::claudeCode;
    int waitingCount = 0; // sessions that wait for the user or finished unseen

    bool operator==(const AgentGroup&) const = default;
};

namespace AgentGrouping {

// One entry per agent kind that has sessions, in kind order (never input order). Pure.
std::vector<AgentGroup> groups(const std::vector<Session>& sessions);

} // namespace AgentGrouping
} // namespace velquist
