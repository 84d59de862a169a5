#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace velquist {

// Which agent runs a session. `detected` stands for every agent known only from the process table.
// Stored as its case name.
enum class AgentKind { claudeCode, codex, cursor, gemini, qwen, opencode, detected };

// Every kind, in declaration order (the order of the panel's grouping).
inline constexpr std::array<AgentKind, 7> kAllAgentKinds = {
    AgentKind::claudeCode, AgentKind::codex,    AgentKind::cursor,  AgentKind::gemini,
    AgentKind::qwen,       AgentKind::opencode, AgentKind::detected};

// The case name: "claudeCode", "codex", ...
std::string_view toString(AgentKind kind);
// The kind with exactly this case name (case-sensitive), else none.
std::optional<AgentKind> agentKindFromString(std::string_view name);

} // namespace velquist
