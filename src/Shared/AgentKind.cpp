#include "Shared/AgentKind.h"

namespace velquist {

std::string_view toString(AgentKind kind)
{
    switch (kind) {
    case AgentKind::claudeCode:
        return "claudeCode";
    case AgentKind::codex:
        return "codex";
    case AgentKind::cursor:
        return "cursor";
    case AgentKind::gemini:
        return "gemini";
    case AgentKind::qwen:
        return "qwen";
    case AgentKind::opencode:
        return "opencode";
    case AgentKind::detected:
        return "detected";
    }
    return "detected";
}

std::optional<AgentKind> agentKindFromString(std::string_view name)
{
    for (const AgentKind kind : kAllAgentKinds) {
        if (toString(kind) == name)
            return kind;
    }
    return std::nullopt;
}

} // namespace velquist
