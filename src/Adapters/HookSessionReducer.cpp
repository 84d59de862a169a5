#include "Adapters/HookSessionReducer.h"

#include "Core/ToolText.h"
#include "Shared/Json.h"

#include <QString>
#include <QUuid>
#include <algorithm>
#include <cctype>

namespace velquist::HookSessionReducer {

namespace {

using Name = HookEvent::Name;

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

void showQuestion(Session& s, const AgentInquiry& inquiry)
{
    s.status = SessionStatus::WaitingForInput{inquiry};
    s.lastActivity = inquiry.questions.empty()
                         ? std::nullopt
                         : std::optional<std::string>(inquiry.questions.front().question);
}

void setWorking(Session& s, const std::optional<std::string>& activity)
{
    s.status = SessionStatus::Working{activity};
    s.lastActivity = activity;
}

void takeContext(Session& s, const HookEvent& event)
{
    if (event.cwd)
        s.cwd = *event.cwd;
    if (event.permissionMode)
        s.permissionMode = event.permissionMode;
    if (event.tty)
        s.terminal.tty = event.tty;
    if (event.ttyOwnerPID)
        s.terminal.ownerPID = *event.ttyOwnerPID;
    if (event.transcriptPath)
        s.transcriptPath = event.transcriptPath;
    if (!event.terminalEnv.empty())
        s.terminal.env = event.terminalEnv;
}

// A tool event of a subagent that was announced moves only that subagent's activity.
bool recordSubagentActivity(Session& s, const HookEvent& event)
{
    if (question(event) || event.toolName == kPlanTool || !event.agentID || !event.activity)
        return false;
    for (auto& run : s.runningSubagents) {
        if (run.id == *event.agentID) {
            run.activity = event.activity;
            return true;
        }
    }
    return false;
}

void applyPreToolUse(Session& s, const HookEvent& event, const Traits& traits)
{
    if (const AgentInquiry* inquiry = question(event)) {
        showQuestion(s, *inquiry);
        return;
    }
    if (event.toolName == kPlanTool) {
        s.status = SessionStatus::NeedsPermission{PermissionRequest{
            std::string(kPlanTool), std::string(kPlanReady), event.tool, supportsAlwaysAllow(event, traits)}};
        s.lastActivity = std::string(kPlanReady);
        return;
    }
    setWorking(s, event.activity);
}

void applyPostToolUse(Session& s, const HookEvent& event)
{
    if (recordSubagentActivity(s, event))
        return;
    if (event.toolName == kQuestionTool || event.toolName == kPlanTool) {
        setWorking(s, std::string(kThinking));
    } else if (s.status.is<SessionStatus::Working>()) {
        setWorking(s, event.activity);
    }
}

void applyNotification(Session& s, const HookEvent& event)
{
    const std::string message = event.notificationMessage.value_or("");
    const std::string type = event.notificationType.value_or("");
    const std::string lower = lowered(message);

    if (type == "permission_prompt" || (type.empty() && contains(lower, "permission"))) {
        if (s.status.asksForUser())
            return;
        const std::string tool = toolName(message).value_or("a tool");
        s.status = SessionStatus::NeedsPermission{PermissionRequest{tool, message, std::nullopt, false}};
        return;
    }
    if (type == "agent_needs_input" || type == "idle_prompt" ||
        (type.empty() && contains(lower, "waiting"))) {
        if (!s.status.is<SessionStatus::Working>())
            return;
        s.status = SessionStatus::WaitingForInput{
            AgentInquiry{{AgentQuestion{"Waiting for your input", {}, {}, false}}}};
    }
}

void startSubagent(Session& s, const HookEvent& event, Clock::WallTime now)
{
    const std::string id =
        event.agentID ? *event.agentID : QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const bool known = std::any_of(s.runningSubagents.begin(), s.runningSubagents.end(),
                                   [&](const SubagentRun& run) { return run.id == id; });
    if (known)
        return;
    const std::string name = event.agentType && !event.agentType->empty() ? *event.agentType : "subagent";
    s.runningSubagents.push_back(SubagentRun{id, name, std::nullopt, now});
}

void stopSubagent(Session& s, const HookEvent& event)
{
    auto& runs = s.runningSubagents;
    if (event.agentID) {
        std::erase_if(runs, [&](const SubagentRun& run) { return run.id == *event.agentID; });
    } else if (!runs.empty()) {
        runs.erase(runs.begin());
    }
    s.subagentsDone += 1;
}

PermissionRequest requestOf(const HookEvent& request, const Traits& traits)
{
    PermissionRequest shown;
    shown.toolName = request.toolName.value_or("a tool");
    shown.summary = request.tool ? request.tool->title() : request.activity.value_or("Needs your permission");
    shown.tool = request.tool;
    shown.supportsAlwaysAllow = supportsAlwaysAllow(request, traits);
    return shown;
}

} // namespace

Session fresh(const std::string& key, AgentKind agent, const HookEvent& event, Clock::WallTime now)
{
    Session session;
    session.id = key;
    session.agent = agent;
    session.cwd = event.cwd.value_or("unknown");
    session.status = SessionStatus::Idle{};
    session.startedAt = session.updatedAt = now;
    session.terminal.tty = event.tty;
    if (event.ttyOwnerPID)
        session.terminal.ownerPID = *event.ttyOwnerPID;
    session.terminal.env = event.terminalEnv;
    session.transcriptPath = event.transcriptPath;
    return session;
}

Session reduce(Session s, const HookEvent& event, const Traits& traits, Clock::WallTime now)
{
    takeContext(s, event);
    switch (event.name) {
    case Name::sessionStart:
        break;
    case Name::userPromptSubmit:
        setWorking(s, std::string(kThinking));
        if (!s.firstPrompt && event.prompt && !event.prompt->empty())
            s.firstPrompt = event.prompt;
        s.subagentsDone = 0;
        break;
    case Name::preToolUse:
        if (!recordSubagentActivity(s, event))
            applyPreToolUse(s, event, traits);
        break;
    case Name::postToolUse:
        applyPostToolUse(s, event);
        break;
    case Name::permissionRequest:
        s = showRequest(std::move(s), event, traits);
        break;
    case Name::notification:
        applyNotification(s, event);
        break;
    case Name::stop:
        s.status = SessionStatus::Done{};
        break;
    case Name::sessionEnd:
        s.status = SessionStatus::Ended{};
        break;
    case Name::subagentStart:
        startSubagent(s, event, now);
        break;
    case Name::subagentStop:
        stopSubagent(s, event);
        break;
    }
    return s;
}

Session withContext(Session s, const HookEvent& event)
{
    takeContext(s, event);
    return s;
}

Session showRequest(Session s, const HookEvent& request, const Traits& traits)
{
    if (const AgentInquiry* inquiry = question(request)) {
        showQuestion(s, *inquiry);
        return s;
    }
    s.status = SessionStatus::NeedsPermission{requestOf(request, traits)};
    if (request.tool)
        s.lastActivity = request.tool->title();
    return s;
}

Session showWorking(Session s, const std::optional<std::string>& activity)
{
    setWorking(s, activity);
    return s;
}

// The request's tool may learn more while it is shown (whether a write replaces a file), so a
// permission request is recognised by its tool's name and summary.
bool showsRequest(const SessionStatus& status, const HookEvent& request, const Traits& traits)
{
    if (const AgentInquiry* inquiry = question(request)) {
        const auto* waiting = status.as<SessionStatus::WaitingForInput>();
        return waiting && waiting->inquiry == *inquiry;
    }
    const auto* asking = status.as<SessionStatus::NeedsPermission>();
    if (!asking)
        return false;
    const PermissionRequest shown = requestOf(request, traits);
    return asking->request.toolName == shown.toolName && asking->request.summary == shown.summary;
}

const AgentInquiry* question(const HookEvent& event)
{
    const auto* asked = event.tool ? event.tool->as<ToolDetail::Question>() : nullptr;
    return asked ? &asked->inquiry : nullptr;
}

bool announcesPlan(const HookEvent& event)
{
    return event.name == Name::preToolUse && event.toolName == kPlanTool && !question(event) &&
           event.rawPlan.has_value();
}

std::optional<nlohmann::json> suggestions(const HookEvent& event)
{
    if (!event.permissionSuggestionsJSON)
        return std::nullopt;
    auto list = Json::parse(*event.permissionSuggestionsJSON);
    if (!list || !list->is_array() || list->empty())
        return std::nullopt;
    for (const auto& element : *list) {
        if (!element.is_object())
            return std::nullopt;
    }
    return list;
}

bool supportsAlwaysAllow(const HookEvent& event, const Traits& traits)
{
    return traits.forwardsUpdatedPermissions && suggestions(event).has_value();
}

std::optional<std::string> toolName(std::string_view permissionMessage)
{
    constexpr std::string_view phrase = " to use ";
    const auto at = permissionMessage.find(phrase);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = permissionMessage.substr(at + phrase.size());
    const auto begin = rest.find_first_not_of(" \n");
    if (begin == std::string_view::npos)
        return std::nullopt;
    rest = rest.substr(begin);
    const std::string_view word = rest.substr(0, rest.find_first_of(" \n"));

    const QString text = QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).isPunct())
        ++first;
    while (last > first && text.at(last - 1).isPunct())
        --last;
    return ToolDetail::boundedToolName(text.mid(first, last - first).toStdString());
}

std::string doneSummary(std::string_view text)
{
    return ToolText::truncated(ToolText::oneLine(text), 120, 119, "\u2026");
}

} // namespace velquist::HookSessionReducer
