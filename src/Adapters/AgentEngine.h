#pragma once

#include "Core/AgentCapabilities.h"
#include "Shared/AgentCatalog.h"
#include "Shared/AgentKind.h"

#include <string>

namespace velquist {

// How an agent's events reach the application. Every hook engine uses `blockingHook`; the other
// cases name the other intake paths.
enum class AgentMechanism { blockingHook, localServer, plugin, notification, fallback };

// The description of one hook-driven agent, handed to its hook adapter at start-up.
struct AgentEngine
{
    AgentKind kind = AgentKind::claudeCode;
    std::string displayName; // "Claude", "Codex", ...
    AgentMechanism mechanism = AgentMechanism::blockingHook;
    AgentCapabilities capabilities;
    std::string idNamespace; // "claude", "codex", ...: a session id is "<namespace>:<agent's id>"

    bool operator==(const AgentEngine&) const = default;

    // A catalogued agent, driven by its blocking hooks.
    static AgentEngine of(const AgentEntry& agent)
    {
        return {agent.kind, std::string(agent.displayName), AgentMechanism::blockingHook,
                AgentCapabilities::of(agent), std::string(agent.idNamespace)};
    }
};

} // namespace velquist
