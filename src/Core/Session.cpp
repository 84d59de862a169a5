#include "Core/Session.h"

#include "Core/ToolText.h"

#include <algorithm>

namespace velquist {

using OJ = nlohmann::ordered_json;
using StoredForm::Reader;

nlohmann::ordered_json PermissionRequest::toJson() const
{
    OJ json{{"toolName", toolName}, {"summary", summary}};
    if (tool)
        json["tool"] = tool->toJson();
    json["supportsAlwaysAllow"] = supportsAlwaysAllow;
    return json;
}

Decoded<PermissionRequest> PermissionRequest::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<PermissionRequest>([&] {
        const Reader r(json, {});
        return PermissionRequest{r.string("toolName"), r.string("summary"),
                                 r.optionalRecord<ToolDetail>("tool"), r.boolean("supportsAlwaysAllow")};
    });
}

nlohmann::ordered_json SessionStatus::toJson() const
{
    struct Visitor
    {
        OJ operator()(const Working& c) const
        {
            OJ payload = OJ::object();
            StoredForm::putOptional(payload, "activity", c.activity);
            return OJ{{"working", std::move(payload)}};
        }
        OJ operator()(const NeedsPermission& c) const
        {
            return OJ{{"needsPermission", OJ{{"_0", c.request.toJson()}}}};
        }
        OJ operator()(const WaitingForInput& c) const
        {
            return OJ{{"waitingForInput", OJ{{"_0", c.inquiry.toJson()}}}};
        }
        OJ operator()(const Done& c) const
        {
            OJ payload = OJ::object();
            StoredForm::putOptional(payload, "summary", c.summary);
            return OJ{{"done", std::move(payload)}};
        }
        OJ operator()(const Idle&) const { return OJ{{"idle", OJ::object()}}; }
        OJ operator()(const Ended&) const { return OJ{{"ended", OJ::object()}}; }
    };
    return std::visit(Visitor{}, m_value);
}

Decoded<SessionStatus> SessionStatus::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<SessionStatus>([&]() -> SessionStatus {
        const auto [name, r] = StoredForm::enumerationCase(
            json, {}, {"working", "needsPermission", "waitingForInput", "done", "idle", "ended"});
        if (name == "working")
            return Working{r.optionalString("activity")};
        if (name == "needsPermission")
            return NeedsPermission{r.record<PermissionRequest>("_0")};
        if (name == "waitingForInput")
            return WaitingForInput{r.record<AgentInquiry>("_0")};
        if (name == "done")
            return Done{r.optionalString("summary")};
        if (name == "idle")
            return Idle{};
        return Ended{};
    });
}

nlohmann::ordered_json TerminalBinding::toJson() const
{
    OJ json = OJ::object();
    StoredForm::putOptional(json, "tty", tty);
    StoredForm::putOptional(json, "ownerPID", ownerPID);
    StoredForm::putOptional(json, "appName", appName);
    StoredForm::putOptional(json, "bundleID", bundleID);
    OJ variables = OJ::object();
    for (const auto& [name, value] : env)
        variables[name] = value;
    json["env"] = std::move(variables);
    return json;
}

Decoded<TerminalBinding> TerminalBinding::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<TerminalBinding>([&] {
        const Reader r(json, {});
        return TerminalBinding{r.optionalString("tty"), r.optionalInteger("ownerPID"),
                               r.optionalString("appName"), r.optionalString("bundleID"), r.stringMap("env")};
    });
}

nlohmann::ordered_json SubagentRun::toJson() const
{
    OJ json{{"id", id}, {"name", name}};
    StoredForm::putOptional(json, "activity", activity);
    json["startedAt"] = StoredForm::dateJson(startedAt);
    return json;
}

Decoded<SubagentRun> SubagentRun::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<SubagentRun>([&] {
        const Reader r(json, {});
        return SubagentRun{r.string("id"), r.string("name"), r.optionalString("activity"),
                           r.date("startedAt")};
    });
}

namespace {

void bound(std::string& text, std::size_t characters)
{
    // Cheap when short: only texts past the byte count of their bound are examined.
    if (text.size() > characters)
        text = ToolText::truncated(text, characters, characters - 1, "\u2026");
}

void bound(std::optional<std::string>& text, std::size_t characters)
{
    if (text)
        bound(*text, characters);
}

} // namespace

void Session::boundFreeText()
{
    bound(cwd, kLongTextCharacters);
    bound(lastActivity, kShortTextCharacters);
    bound(detectedName, kShortTextCharacters);
    bound(aiTitle, kShortTextCharacters);
    bound(firstPrompt, kLongTextCharacters);
    if (runningSubagents.size() > kMaxRunningSubagents) {
        std::stable_sort(
            runningSubagents.begin(), runningSubagents.end(),
            [](const SubagentRun& a, const SubagentRun& b) { return a.startedAt < b.startedAt; });
        runningSubagents.erase(runningSubagents.begin(),
                               runningSubagents.end() - static_cast<std::ptrdiff_t>(kMaxRunningSubagents));
    }
    for (SubagentRun& run : runningSubagents) {
        bound(run.name, kShortTextCharacters);
        bound(run.activity, kShortTextCharacters);
    }
    // The status is rebuilt only when one of its texts is over its bound.
    if (const auto* working = status.as<SessionStatus::Working>();
        working && working->activity && working->activity->size() > kShortTextCharacters) {
        SessionStatus::Working cut = *working;
        bound(cut.activity, kShortTextCharacters);
        status = cut;
    } else if (const auto* done = status.as<SessionStatus::Done>();
               done && done->summary && done->summary->size() > kLongTextCharacters) {
        SessionStatus::Done cut = *done;
        bound(cut.summary, kLongTextCharacters);
        status = cut;
    } else if (const auto* asking = status.as<SessionStatus::NeedsPermission>();
               asking && asking->request.summary.size() > kLongTextCharacters) {
        SessionStatus::NeedsPermission cut = *asking;
        bound(cut.request.summary, kLongTextCharacters);
        status = cut;
    }
}

nlohmann::ordered_json Session::toJson() const
{
    OJ json{{"id", id}, {"agent", toString(agent)}, {"cwd", cwd}, {"status", status.toJson()}};
    StoredForm::putOptional(json, "lastActivity", lastActivity);
    json["startedAt"] = StoredForm::dateJson(startedAt);
    json["updatedAt"] = StoredForm::dateJson(updatedAt);
    json["terminal"] = terminal.toJson();
    StoredForm::putOptional(json, "transcriptPath", transcriptPath);
    StoredForm::putOptional(json, "permissionMode", permissionMode);
    json["autoApprovePermissions"] = autoApprovePermissions;
    StoredForm::putOptionalDate(json, "attentionSince", attentionSince);
    if (context)
        json["context"] = context->toJson();
    StoredForm::putOptional(json, "detectedName", detectedName);
    StoredForm::putOptional(json, "aiTitle", aiTitle);
    OJ subagents = OJ::array();
    for (const auto& run : runningSubagents)
        subagents.push_back(run.toJson());
    json["runningSubagents"] = std::move(subagents);
    json["subagentsDone"] = subagentsDone;
    StoredForm::putOptional(json, "firstPrompt", firstPrompt);
    StoredForm::putOptionalDate(json, "doneSeenAt", doneSeenAt);
    return json;
}

Decoded<Session> Session::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<Session>([&] {
        const Reader r(json, {});
        Session session;
        session.id = r.string("id");
        const std::string agent = r.string("agent");
        const auto kind = agentKindFromString(agent);
        if (!kind)
            StoredForm::fail(r.pathOf("agent"),
                             "Cannot initialize AgentKind from invalid String value " + agent);
        session.agent = *kind;
        session.cwd = r.string("cwd");
        session.status = r.record<SessionStatus>("status");
        session.lastActivity = r.optionalString("lastActivity");
        session.startedAt = r.date("startedAt");
        session.updatedAt = r.date("updatedAt");
        session.terminal = r.record<TerminalBinding>("terminal");
        session.transcriptPath = r.optionalString("transcriptPath");
        session.permissionMode = r.optionalString("permissionMode");
        session.autoApprovePermissions = r.boolean("autoApprovePermissions");
        session.attentionSince = r.optionalDate("attentionSince");
        session.context = r.optionalRecord<ContextUsage>("context");
        session.detectedName = r.optionalString("detectedName");
        session.aiTitle = r.optionalString("aiTitle");
        session.runningSubagents = r.records<SubagentRun>("runningSubagents");
        session.subagentsDone = r.integer("subagentsDone");
        session.firstPrompt = r.optionalString("firstPrompt");
        session.doneSeenAt = r.optionalDate("doneSeenAt");
        return session;
    });
}

} // namespace velquist
