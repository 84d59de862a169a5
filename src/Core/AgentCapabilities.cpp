#include "Core/AgentCapabilities.h"

#include "Shared/AgentCatalog.h"

namespace velquist {

AgentCapabilities AgentCapabilities::of(AgentKind kind)
{
    if (const AgentEntry* agent = AgentCatalog::find(kind))
        return of(*agent);
    // OpenCode answers through its own server; an agent known only from the process table can only
    // be watched and brought to the front.
    if (kind == AgentKind::opencode)
        return {true, true, true, true, true};
    return {true, false, false, false, true};
}

AgentCapabilities AgentCapabilities::of(const AgentEntry& agent)
{
    return {true, true, true, agent.canAnswer, true};
}

nlohmann::ordered_json AgentCapabilities::toJson() const
{
    return nlohmann::ordered_json{{"hasLiveActivity", hasLiveActivity},
                                  {"canApprove", canApprove},
                                  {"canDeny", canDeny},
                                  {"canAnswer", canAnswer},
                                  {"canJump", canJump}};
}

Decoded<AgentCapabilities> AgentCapabilities::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<AgentCapabilities>([&] {
        const StoredForm::Reader r(json, {});
        return AgentCapabilities{r.boolean("hasLiveActivity"), r.boolean("canApprove"), r.boolean("canDeny"),
                                 r.boolean("canAnswer"), r.boolean("canJump")};
    });
}

} // namespace velquist
