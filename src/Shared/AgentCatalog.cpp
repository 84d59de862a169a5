#include "Shared/AgentCatalog.h"

#include <algorithm>
#include <array>

namespace velquist {

namespace {

using Event = AgentEntry::EventName;

// Claude Code and Codex use the canonical names themselves.
constexpr std::array kClaudeEvents{
    Event{"SessionStart", "SessionStart"},
    Event{"UserPromptSubmit", "UserPromptSubmit"},
    Event{"PreToolUse", "PreToolUse"},
    Event{"PostToolUse", "PostToolUse"},
    Event{"PermissionRequest", "PermissionRequest"},
    Event{"Notification", "Notification"},
    Event{"Stop", "Stop"},
    Event{"SessionEnd", "SessionEnd"},
    Event{"SubagentStart", "SubagentStart"},
    Event{"SubagentStop", "SubagentStop"},
};

// Claude Code's subagent events are installed only once its version is known to send them.
constexpr std::array<std::string_view, 10> kClaudeHooked{
    "SessionStart", "UserPromptSubmit", "PreToolUse",    "PostToolUse", "PermissionRequest", "Notification",
    "Stop",         "SessionEnd",       "SubagentStart", "SubagentStop"};
constexpr std::array<std::string_view, 6> kCodexHooked{"SessionStart",      "UserPromptSubmit", "PreToolUse",
                                                       "PermissionRequest", "PostToolUse",      "Stop"};
constexpr std::array<std::string_view, 6> kCursorHooked{
    "sessionStart", "preToolUse", "postToolUse", "beforeShellExecution", "beforeMCPExecution", "stop"};
constexpr std::array<std::string_view, 5> kGeminiHooked{"SessionStart", "BeforeTool", "AfterTool",
                                                        "Notification", "SessionEnd"};
constexpr std::array<std::string_view, 8> kQwenHooked{"SessionStart",      "UserPromptSubmit", "PreToolUse",
                                                      "PermissionRequest", "PostToolUse",      "Stop",
                                                      "SessionEnd",        "Notification"};

// Cursor spells its events in lower camel case and decides on its shell and MCP gates.
constexpr std::array kCursorEvents{
    Event{"sessionStart", "SessionStart"},
    Event{"preToolUse", "PreToolUse"},
    Event{"postToolUse", "PostToolUse"},
    Event{"beforeShellExecution", "PermissionRequest"},
    Event{"beforeMCPExecution", "PermissionRequest"},
    Event{"stop", "Stop"},
    Event{"sessionEnd", "SessionEnd"},
};

// Gemini waits for a decision on "BeforeTool"; it has no prompt, stop or subagent events.
constexpr std::array kGeminiEvents{
    Event{"SessionStart", "SessionStart"}, Event{"BeforeTool", "PermissionRequest"},
    Event{"AfterTool", "PostToolUse"},     Event{"Notification", "Notification"},
    Event{"SessionEnd", "SessionEnd"},
};

// Qwen Code runs "PreToolUse" only after its own dialog was answered, so it decides on its
// "PermissionRequest", which runs before the dialog and falls back to it without a verdict.
constexpr std::array kQwenEvents{
    Event{"SessionStart", "SessionStart"}, Event{"UserPromptSubmit", "UserPromptSubmit"},
    Event{"PreToolUse", "PreToolUse"},     Event{"PermissionRequest", "PermissionRequest"},
    Event{"PostToolUse", "PostToolUse"},   Event{"Stop", "Stop"},
    Event{"SessionEnd", "SessionEnd"},     Event{"Notification", "Notification"},
};

const std::array kAgents{
    AgentEntry{.kind = AgentKind::claudeCode,
               .idNamespace = "claude",
               .displayName = "Claude",
               .fullName = "Claude Code",
               .program = "claude",
               .configFolder = ".claude",
               .configFile = "settings.json",
               .decideOn = "PermissionRequest",
               .alwaysHooked = true,
               .events = kClaudeEvents,
               .hookedEvents = kClaudeHooked},
    AgentEntry{.kind = AgentKind::codex,
               .idNamespace = "codex",
               .displayName = "Codex",
               .program = "codex",
               .configFolder = ".codex",
               .configFile = "hooks.json",
               .decideOn = "PermissionRequest",
               .events = kClaudeEvents,
               .hookedEvents = kCodexHooked},
    AgentEntry{.kind = AgentKind::cursor,
               .idNamespace = "cursor",
               .displayName = "Cursor",
               .program = "cursor-agent",
               .configFolder = ".cursor",
               .configFile = "hooks.json",
               .style = HookInstallStyle::cursorStyle,
               .decideOn = "PermissionRequest",
               .events = kCursorEvents,
               .hookedEvents = kCursorHooked},
    AgentEntry{.kind = AgentKind::gemini,
               .idNamespace = "gemini",
               .displayName = "Gemini",
               .program = "gemini",
               .configFolder = ".gemini",
               .configFile = "settings.json",
               .timeoutScale = 1000,
               .decideOn = "BeforeTool",
               .unavailableResponse =
                   R"({"decision":"deny","reason":"Velquist is not running to approve this tool"})",
               .canAnswer = false,
               .events = kGeminiEvents,
               .hookedEvents = kGeminiHooked},
    AgentEntry{.kind = AgentKind::qwen,
               .idNamespace = "qwen",
               .displayName = "Qwen",
               .program = "qwen",
               .configFolder = ".qwen",
               .configFile = "settings.json",
               .timeoutScale = 1000,
               .decideOn = "PermissionRequest",
               .canAnswer = false,
               .events = kQwenEvents,
               .hookedEvents = kQwenHooked},
};

} // namespace

std::filesystem::path AgentEntry::configDirectory(const std::filesystem::path& home) const
{
    return home / configFolder;
}

std::filesystem::path AgentEntry::configPath(const std::filesystem::path& home) const
{
    return configDirectory(home) / configFile;
}

std::string_view AgentEntry::canonicalEvent(std::string_view raw) const
{
    const auto found =
        std::find_if(events.begin(), events.end(), [&](const EventName& entry) { return entry.raw == raw; });
    return found == events.end() ? std::string_view{} : found->canonical;
}

namespace AgentCatalog {

std::span<const AgentEntry> all()
{
    return kAgents;
}

const AgentEntry* find(std::string_view idNamespace)
{
    const auto found = std::find_if(kAgents.begin(), kAgents.end(), [&](const AgentEntry& agent) {
        return agent.idNamespace == idNamespace;
    });
    return found == kAgents.end() ? nullptr : &*found;
}

const AgentEntry* find(AgentKind kind)
{
    const auto found = std::find_if(kAgents.begin(), kAgents.end(),
                                    [&](const AgentEntry& agent) { return agent.kind == kind; });
    return found == kAgents.end() ? nullptr : &*found;
}

} // namespace AgentCatalog

} // namespace velquist
