#include "quorvel/HookRequest.h"

#include "Shared/Json.h"
#include "Shared/JsonScan.h"
#include "Shared/ProcessTree.h"

#include <cstdlib>

namespace velquist::HookRequest {

HookPayload payloadOf(std::string_view input, std::size_t maxBytes)
{
    HookPayload payload;
    const auto scan = JsonScan::scanObject(input);
    if (!scan) {
        payload.json = "{}";
        return payload;
    }
    if (const JsonMember* name = scan->find("hook_event_name")) {
        if (auto value = JsonScan::stringValue(name->value))
            payload.eventName = std::move(*value);
    }
    if (scan->clean && input.size() <= maxBytes) {
        payload.json = scan->object;
        payload.whole = true;
        return payload;
    }
    // Keep what the application needs to place the event (its name, the session, the folder);
    // the bulky or unreadable members go.
    payload.json = "{";
    for (const JsonMember& member : scan->members) {
        if (!member.clean || payload.json.size() + member.key.size() + member.value.size() + 3 > maxBytes)
            continue;
        if (payload.json.size() > 1)
            payload.json += ',';
        payload.json.append(member.key).append(":").append(member.value);
    }
    payload.json += '}';
    return payload;
}

std::vector<pid_t> ancestorChain(pid_t parent)
{
    if (parent < 2)
        return {};
    std::vector<pid_t> chain{parent};
    const auto above = ProcessTree::ancestors(parent, 14);
    chain.insert(chain.end(), above.begin(), above.end());
    return chain;
}

std::optional<TerminalOwner> controllingTTY(const std::vector<pid_t>& chain)
{
    for (const pid_t pid : chain) {
        const auto record = ProcessTree::stat(pid);
        if (!record)
            return std::nullopt;
        if (record->ttyNr == 0)
            continue;
        if (std::string name = ProcessTree::ttyName(record->ttyNr); !name.empty())
            return TerminalOwner{std::move(name), pid};
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> terminalEnv()
{
    std::vector<std::pair<std::string, std::string>> found;
    for (const char* key : kTerminalEnvKeys) {
        if (const char* value = std::getenv(key))
            found.emplace_back(key, value);
    }
    return found;
}

nlohmann::json meta(const Context& context)
{
    nlohmann::json env = nlohmann::json::object();
    for (const auto& [key, value] : context.terminalEnv)
        env[key] = value;
    nlohmann::json meta = {
        {"tty", context.terminal ? nlohmann::json(context.terminal->tty) : nlohmann::json(nullptr)},
        {"ttyOwnerPid", context.terminal ? nlohmann::json(context.terminal->pid) : nlohmann::json(nullptr)},
        {"ancestorPids", context.ancestors},
        {"pid", context.pid},
        {"ppid", context.parent},
        {"receivedAt", context.receivedAt},
        {"engine", context.engine},
        {"env", std::move(env)},
    };
    if (context.decisionId) {
        meta["mode"] = "decide";
        meta["decisionId"] = *context.decisionId;
    }
    return meta;
}

std::string serialize(std::string_view payloadJson, const nlohmann::json& meta)
{
    const std::string metaJson = Json::dump(meta);
    std::string request;
    request.reserve(payloadJson.size() + metaJson.size() + 22);
    request.append(R"({"payload":)").append(payloadJson).append(R"(,"meta":)").append(metaJson).append("}");
    return request;
}

} // namespace velquist::HookRequest
