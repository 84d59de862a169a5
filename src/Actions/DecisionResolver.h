#pragma once

#include "Actions/ControlAction.h"

#include <string>

namespace velquist {

// A channel through which the user's decision reaches a waiting agent.
class DecisionResolver
{
  public:
    virtual ~DecisionResolver() = default;
    // Delivers `action` to the request that session `sessionID` holds. True when a request was
    // waiting and the decision reached the agent; false when there was none, or it could not be
    // delivered (the caller then brings the terminal to the front instead).
    virtual bool resolveDecision(const ControlAction& action, const std::string& sessionID) = 0;
};

} // namespace velquist
