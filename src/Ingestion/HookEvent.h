#pragma once

#include "Core/ToolDetail.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// One hook request from the hook client, parsed: the agent's hook JSON ("payload") with the
// terminal and process context the hook client added ("meta"). Every agent's event name is folded
// onto one canonical set so that everything downstream treats the engines alike.
struct HookEvent
{
    enum class Name {
        sessionStart,
        userPromptSubmit,
        preToolUse,
        postToolUse,
        permissionRequest,
        notification,
        stop,
        sessionEnd,
        subagentStart,
        subagentStop,
    };

    Name name = Name::stop;
    std::string sessionID;
    std::optional<std::string> transcriptPath;
    std::optional<std::string> cwd;
    std::optional<std::string> toolName;
    // What the tool call does, as a session row shows it.
    std::optional<std::string> activity;
    // The structured form of the tool call.
    std::optional<ToolDetail> tool;
    std::optional<std::string> notificationMessage;
    std::optional<std::string> notificationType;
    std::optional<std::string> prompt;
    std::optional<std::string> permissionMode;
    std::optional<std::string> tty;
    std::optional<int> ttyOwnerPID;
    std::vector<int> ancestorPIDs;
    std::optional<std::string> decisionID;
    std::string engine = "claude";
    std::map<std::string, std::string> terminalEnv;
    // The tool input's "questions" written back as compact JSON.
    std::optional<std::string> rawQuestionsJSON;
    std::optional<std::string> agentID;
    std::optional<std::string> agentType;
    std::optional<std::string> rawPlan;
    // The payload's "permission_suggestions" written back as compact JSON.
    std::optional<std::string> permissionSuggestionsJSON;

    // The longest session id taken.
    static constexpr std::size_t kMaxSessionIDBytes = 1024;

    // The request bytes as an event, or none when they are not a usable request (not JSON, nested
    // too deep, no payload object, no event name or session id, a session id over its bound, an
    // event the engine does not use). Texts a session keeps are cut to their bounds.
    // Pure; safe on any thread.
    static std::optional<HookEvent> parse(std::string_view bytes);

    // The canonical name of an agent's own event name for `engine`, or none when that engine does
    // not use the name.
    static std::optional<Name> canonical(std::string_view engine, std::string_view raw);

    // The name as the agents of the default vocabulary spell it ("PreToolUse").
    static std::string_view rawValue(Name name);

    bool operator==(const HookEvent&) const = default;
};

} // namespace velquist
