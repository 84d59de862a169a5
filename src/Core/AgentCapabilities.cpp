#include "Core/AgentCapabilities.h"

namespace velquist {

AgentCapabilities AgentCapabilities::of(AgentKind kind)
{
    switch (kind) {
    case AgentKind::gemini:
    case AgentKind::qwen:
        return {true, true, true, false, true};
    case AgentKind::detected:
        return {true, false, false, false, true};
    case AgentKind::claudeCode:
    case AgentKind::codex:
    case AgentKind::cursor:
    case AgentKind::opencode:
        break;
    }
    return {true, true, true, true, true};
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
