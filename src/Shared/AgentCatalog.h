#pragma once

#include "Shared/AgentKind.h"

#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace velquist {

// How an agent's configuration file lists hooks: Claude Code's nested groups ({"matcher", "hooks":
// [...]}) or Cursor's flat list of commands per event.
enum class HookInstallStyle { claudeStyle, cursorStyle };

// One hook-driven agent as every part of the program knows it: the installer, the clean-up, the
// provisioning, the start-up, the session store, the hook-event parser and what the panel offers
// (AgentCapabilities) all read this table, so an agent has one name and one set of facts across the
// code. Adding an agent is its AgentKind case with its line in kAgentKindNames, a row here, its
// engine profile (EngineProfile::forAgent), its transcript parser and its mark (iconStyle in
// UI/AgentIcon.cpp, its glyph in UI/BrandGlyph.cpp).
struct AgentEntry
{
    // One of the agent's own event names and the event it stands for, by its canonical name
    // ("SessionStart", "PreToolUse", "PermissionRequest", ...).
    struct EventName
    {
        std::string_view raw;
        std::string_view canonical;
    };

    AgentKind kind = AgentKind::detected;
    // The id namespace: the hook client's --engine and the prefix of the agent's session ids.
    std::string_view idNamespace{};
    // The panel's short name, and the full one the introduction speaks (empty: the short one).
    std::string_view displayName{};
    std::string_view fullName{};
    // The command the agent installs, looked for on PATH.
    std::string_view program{};
    // Below the home folder; its existence (as a folder or a file) says the agent is installed.
    std::string_view configFolder{};
    // Inside the configuration folder: the file holding the hook entries.
    std::string_view configFile{};
    HookInstallStyle style = HookInstallStyle::claudeStyle;
    // Hook time-outs are written in seconds times this (1000: the agent reads milliseconds).
    int timeoutScale = 1;
    // The event on which the hook client waits for the user's decision.
    std::string_view decideOn{};
    // What the hook client prints on the decide event when the application cannot be reached;
    // empty for none (the agent then asks in its own terminal).
    std::string_view unavailableResponse{};
    // Hooked whatever is installed; the others only when their configuration folder exists.
    bool alwaysHooked = false;
    // Its questions can be answered from the panel (the rest of what the panel offers, approving,
    // denying, live activity and the jump, every hook-driven agent has).
    bool canAnswer = true;
    // The agent's event names, each with what it stands for.
    std::span<const EventName> events{};
    // The events whose hooks are installed, in the order they are written.
    std::span<const std::string_view> hookedEvents{};

    std::filesystem::path configDirectory(const std::filesystem::path& home) const;
    std::filesystem::path configPath(const std::filesystem::path& home) const;
    // The canonical name of one of the agent's events; empty for a name it does not send.
    std::string_view canonicalEvent(std::string_view raw) const;
};

namespace AgentCatalog {

// Every hook-driven agent, in the start-up's order: Claude Code, Codex, Cursor, Gemini CLI, Qwen Code.
std::span<const AgentEntry> all();
// The agent of this id namespace, or none.
const AgentEntry* find(std::string_view idNamespace);
// The agent of this kind, or none (OpenCode and agents found only in the process table are not
// hook-driven).
const AgentEntry* find(AgentKind kind);

} // namespace AgentCatalog

} // namespace velquist
