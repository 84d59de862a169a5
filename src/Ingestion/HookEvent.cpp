#include "Ingestion/HookEvent.h"

#include "Ingestion/ToolActivity.h"
#include "Shared/AgentCatalog.h"
#include "Shared/Json.h"

#include <array>
#include <climits>
#include <utility>

namespace velquist {

namespace {

using nlohmann::json;

struct NameEntry
{
    std::string_view raw;
    HookEvent::Name name;
};

// The canonical names; each agent's own names map onto them in the agent catalog.
constexpr std::array kDefaultNames{
    NameEntry{"SessionStart", HookEvent::Name::sessionStart},
    NameEntry{"UserPromptSubmit", HookEvent::Name::userPromptSubmit},
    NameEntry{"PreToolUse", HookEvent::Name::preToolUse},
    NameEntry{"PostToolUse", HookEvent::Name::postToolUse},
    NameEntry{"PermissionRequest", HookEvent::Name::permissionRequest},
    NameEntry{"Notification", HookEvent::Name::notification},
    NameEntry{"Stop", HookEvent::Name::stop},
    NameEntry{"SessionEnd", HookEvent::Name::sessionEnd},
    NameEntry{"SubagentStart", HookEvent::Name::subagentStart},
    NameEntry{"SubagentStop", HookEvent::Name::subagentStop},
};

template <std::size_t N>
std::optional<HookEvent::Name> lookUp(const std::array<NameEntry, N>& table, std::string_view raw)
{
    for (const auto& entry : table) {
        if (entry.raw == raw)
            return entry.name;
    }
    return std::nullopt;
}

// A JSON integer that fits an int; floats, booleans and out-of-range numbers are mistyped.
std::optional<int> asInt(const json& value)
{
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number <= static_cast<std::uint64_t>(INT_MAX) ? std::optional<int>(static_cast<int>(number))
                                                             : std::nullopt;
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        return number >= INT_MIN && number <= INT_MAX ? std::optional<int>(static_cast<int>(number))
                                                      : std::nullopt;
    }
    return std::nullopt;
}

// A list all of whose elements are integers; anything else counts as missing.
std::vector<int> intList(const json* value)
{
    std::vector<int> result;
    if (!value || !value->is_array())
        return result;
    for (const auto& element : *value) {
        const auto number = asInt(element);
        if (!number)
            return {};
        result.push_back(*number);
    }
    return result;
}

// A list all of whose elements are strings.
std::optional<std::vector<std::string>> stringList(const json* value)
{
    if (!value || !value->is_array())
        return std::nullopt;
    std::vector<std::string> result;
    for (const auto& element : *value) {
        if (!element.is_string())
            return std::nullopt;
        result.push_back(element.get<std::string>());
    }
    return result;
}

// An object all of whose values are strings. The hook client relays a handful of terminal
// variables: more, or longer ones, are cut so a session keeps a bounded amount of them.
std::map<std::string, std::string> stringMap(const json* value)
{
    constexpr std::size_t kMaxEntries = 64;
    std::map<std::string, std::string> result;
    if (!value || !value->is_object())
        return result;
    for (const auto& [key, element] : value->items()) {
        if (!element.is_string())
            return {};
        if (result.size() < kMaxEntries && key.size() <= ToolDetail::kMaxToolNameCharacters)
            result.emplace(key, ToolDetail::cutPath(element.get<std::string>()));
    }
    return result;
}

// A name-like text (a mode, a terminal, a subagent's id or type), cut to a tool name's bound.
std::optional<std::string> shortText(std::optional<std::string> text)
{
    if (text && text->size() > ToolDetail::kMaxToolNameCharacters)
        text = ToolDetail::boundedToolName(*text);
    return text;
}

// A list or object written back as compact JSON; any other value counts as missing.
std::optional<std::string> compactJson(const json* value)
{
    if (!value || !(value->is_array() || value->is_object()))
        return std::nullopt;
    return Json::dump(*value);
}

std::optional<std::string> resolveCwd(const json& payload)
{
    const auto cwd = Json::string(payload, "cwd");
    if (cwd && !cwd->empty())
        return cwd;
    if (const auto roots = stringList(Json::member(payload, "workspace_roots")); roots && !roots->empty())
        return roots->front();
    return cwd;
}

json objectOrEmpty(const json* value)
{
    return value && value->is_object() ? *value : json::object();
}

} // namespace

std::optional<HookEvent::Name> HookEvent::canonical(std::string_view engine, std::string_view raw)
{
    // An engine the catalog does not know speaks the canonical names.
    if (const AgentEntry* agent = AgentCatalog::find(engine)) {
        const std::string_view canonicalName = agent->canonicalEvent(raw);
        return canonicalName.empty() ? std::nullopt : lookUp(kDefaultNames, canonicalName);
    }
    return lookUp(kDefaultNames, raw);
}

std::string_view HookEvent::rawValue(Name name)
{
    for (const auto& entry : kDefaultNames) {
        if (entry.name == name)
            return entry.raw;
    }
    return {};
}

std::optional<HookEvent> HookEvent::parse(std::string_view bytes)
{
    const auto root = Json::parse(bytes);
    if (!root || !root->is_object())
        return std::nullopt;
    const json* payload = Json::member(*root, "payload");
    if (!payload || !payload->is_object())
        return std::nullopt;
    const auto rawName = Json::string(*payload, "hook_event_name");
    auto sessionID = Json::string(*payload, "session_id");
    // A session id keys everything kept for the session; no agent's comes near the bound.
    if (!rawName || !sessionID || sessionID->size() > kMaxSessionIDBytes)
        return std::nullopt;

    const json meta = objectOrEmpty(Json::member(*root, "meta"));
    std::string engine = Json::string(meta, "engine").value_or("claude");
    const auto name = canonical(engine, *rawName);
    if (!name)
        return std::nullopt;

    HookEvent event;
    event.name = *name;
    event.sessionID = std::move(*sessionID);
    event.engine = std::move(engine);
    event.transcriptPath = Json::string(*payload, "transcript_path");
    // A path with a NUL would be cut there by the system and name another file; one past the
    // system's bound names none.
    if (event.transcriptPath && (event.transcriptPath->find('\0') != std::string::npos ||
                                 event.transcriptPath->size() > ToolDetail::kMaxPathCharacters))
        event.transcriptPath.reset();
    event.cwd = resolveCwd(*payload);
    event.notificationMessage = Json::string(*payload, "message");
    event.notificationType = Json::string(*payload, "notification_type");
    event.prompt = Json::string(*payload, "prompt");
    event.permissionMode = shortText(Json::string(*payload, "permission_mode"));
    event.agentID = shortText(Json::string(*payload, "agent_id"));
    event.agentType = shortText(Json::string(*payload, "agent_type"));

    event.tty = shortText(Json::string(meta, "tty"));
    if (const json* owner = Json::member(meta, "ttyOwnerPid"))
        event.ttyOwnerPID = asInt(*owner);
    event.ancestorPIDs = intList(Json::member(meta, "ancestorPids"));
    event.decisionID = Json::string(meta, "decisionId");
    event.terminalEnv = stringMap(Json::member(meta, "env"));

    std::optional<json> toolInput;
    if (auto toolName = Json::string(*payload, "tool_name")) {
        toolInput = objectOrEmpty(Json::member(*payload, "tool_input"));
        event.rawQuestionsJSON = compactJson(Json::member(*toolInput, "questions"));
        if (*toolName == "ExitPlanMode")
            event.rawPlan = Json::string(*toolInput, "plan");
        event.toolName = ToolDetail::boundedToolName(*toolName);
    } else if (event.engine == "cursor" && *rawName == "beforeShellExecution") {
        toolInput = json{{"command", Json::string(*payload, "command").value_or("")}};
        event.toolName = "Shell";
    } else if (event.engine == "cursor" && *rawName == "beforeMCPExecution") {
        toolInput = objectOrEmpty(Json::member(*payload, "tool_input"));
        for (const char* key : {"url", "command"}) {
            if (auto value = Json::string(*payload, key))
                (*toolInput)[key] = std::move(*value);
        }
        event.toolName = "MCP";
    }

    if (toolInput) {
        event.activity = ToolActivity::describe(*event.toolName, *toolInput);
        event.tool = ToolDetail::parse(*event.toolName, *toolInput);
    }

    event.permissionSuggestionsJSON = compactJson(Json::member(*payload, "permission_suggestions"));
    return event;
}

} // namespace velquist
