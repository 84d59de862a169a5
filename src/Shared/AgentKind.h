#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace velquist {

// Which agent runs a session. `detected` stands for every agent known only from the process table
// and stays the last case. A new case needs its line in kAgentKindNames below.
enum class AgentKind { claudeCode, codex, cursor, gemini, qwen, opencode, detected };

// A kind and its stored name, the case name (session files hold it, so it never changes).
struct AgentKindName
{
    AgentKind kind;
    std::string_view name;
};

// Every kind in declaration order (the order of the panel's grouping), with its stored name.
inline constexpr std::array kAgentKindNames{
    AgentKindName{AgentKind::claudeCode, "claudeCode"},
    AgentKindName{AgentKind::codex, "codex"},
    AgentKindName{AgentKind::cursor, "cursor"},
    AgentKindName{AgentKind::gemini, "gemini"},
    AgentKindName{AgentKind::qwen, "qwen"},
    AgentKindName{AgentKind::opencode, "opencode"},
    AgentKindName{AgentKind::detected, "detected"},
};

// Every kind, in declaration order.
inline constexpr std::array<AgentKind, kAgentKindNames.size()> kAllAgentKinds = [] {
    std::array<AgentKind, kAgentKindNames.size()> kinds{};
    for (std::size_t index = 0; index < kinds.size(); ++index)
        kinds[index] = kAgentKindNames[index].kind;
    return kinds;
}();

// The case name: "claudeCode", "codex", ...
constexpr std::string_view toString(AgentKind kind)
{
    const auto index = static_cast<std::size_t>(kind);
    return index < kAgentKindNames.size() ? kAgentKindNames[index].name : std::string_view("detected");
}

// The kind with exactly this case name (case-sensitive), else none.
constexpr std::optional<AgentKind> agentKindFromString(std::string_view name)
{
    for (const AgentKindName& entry : kAgentKindNames) {
        if (entry.name == name)
            return entry.kind;
    }
    return std::nullopt;
}

// One line per case, at the case's own place, each with a name of its own: a case added to the
// enum without its line moves `detected` past the end of the table.
static_assert(
    [] {
        if (kAgentKindNames.size() != static_cast<std::size_t>(AgentKind::detected) + 1)
            return false;
        for (std::size_t index = 0; index < kAgentKindNames.size(); ++index) {
            if (static_cast<std::size_t>(kAgentKindNames[index].kind) != index ||
                kAgentKindNames[index].name.empty())
                return false;
            for (std::size_t other = 0; other < index; ++other) {
                if (kAgentKindNames[other].name == kAgentKindNames[index].name)
                    return false;
            }
        }
        return true;
    }(),
    "kAgentKindNames needs one line per AgentKind case, in declaration order, with a name of its own");

} // namespace velquist
