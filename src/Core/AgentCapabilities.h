#pragma once

#include "Core/StoredForm.h"
#include "Shared/AgentKind.h"

namespace velquist {

struct AgentEntry;

// What the panel may offer for a session of an agent.
struct AgentCapabilities
{
    bool hasLiveActivity = false; // reports what it does while it works
    bool canApprove = false;      // a permission request can be approved from the panel
    bool canDeny = false;         // ... or denied
    bool canAnswer = false;       // an agent's question can be answered from the panel
    bool canJump = false;         // the session's terminal can be brought to the front

    bool operator==(const AgentCapabilities&) const = default;

    // The fixed table per agent kind: a hook-driven agent's from its catalog row, OpenCode's and a
    // detected agent's from here.
    static AgentCapabilities of(AgentKind kind);
    // A hook-driven agent's, from its row.
    static AgentCapabilities of(const AgentEntry& agent);

    // Stored form: the five keys, each a Bool, all required.
    nlohmann::ordered_json toJson() const;
    static Decoded<AgentCapabilities> fromJson(const nlohmann::json& json);
};

} // namespace velquist

template <> struct std::hash<velquist::AgentCapabilities>
{
    std::size_t operator()(const velquist::AgentCapabilities& c) const noexcept
    {
        return (std::size_t(c.hasLiveActivity) << 4) | (std::size_t(c.canApprove) << 3) |
               (std::size_t(c.canDeny) << 2) | (std::size_t(c.canAnswer) << 1) | std::size_t(c.canJump);
    }
};
