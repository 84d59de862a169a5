// The decision side of HookAdapter: held requests, the user's answers, and the transcript facts
// that show a request was settled in the terminal.

#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Core/SessionStore.h"
#include "Ingestion/PendingDecision.h"
#include "Platform/WorkerTask.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

namespace velquist {

namespace {

using nlohmann::json;

const std::string kDeniedMessage = "Denied from Velquist";

// The agent's permission suggestions when they are a non-empty list of objects.
std::optional<json> suggestions(const HookEvent& event)
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

} // namespace

void HookAdapter::receive(std::shared_ptr<PendingDecision> decision)
{
    if (!decision)
        return;
    const HookEvent& event = decision->event();
    const std::string key = sessionKey(event.sessionID);
    ensureSession(event);
    ensureTailer(event);
    if (!decision->isOpen())
        return;

    const Session* session = m_store.session(key);
    if (!question(event) && session && session->autoApprovePermissions) {
        if (const std::string reply = encodeAllow(); !reply.empty()) {
            Log::debug("decision", "auto-approved " + Log::shortId(key) + " (session grant)");
            decision->send(reply);
            return;
        }
    }
    if (m_profile->autoApprovesReadOnlyTools() && event.tool &&
        (event.tool->as<ToolDetail::Read>() || event.tool->as<ToolDetail::Search>())) {
        if (const std::string reply = encodeAllow(); !reply.empty()) {
            showWorking(key, event.activity);
            Log::debug("decision", "auto-approved read-only " + event.toolName.value_or("tool") + " for " +
                                       Log::shortId(key));
            decision->send(reply);
            armIdleDoneIfNeeded(key);
            return;
        }
    }
    hold(key, std::move(decision));
}

void HookAdapter::hold(const std::string& key, std::shared_ptr<PendingDecision> decision)
{
    cancelPendingDecision(key);
    PendingDecision* held = decision.get();
    // A client that gives up waiting, or is killed with its agent, takes the request with it.
    held->setOnHangUp([this, key, held] {
        const auto found = m_pendingDecisions.find(key);
        if (found != m_pendingDecisions.end() && found->second.get() == held) {
            Log::debug("decision", "client of " + Log::shortId(key) + " went away; request released");
            m_pendingDecisions.erase(found);
        }
    });
    m_pendingDecisions[key] = std::move(decision);
    applyPermissionState(held->event());
    armIdleDoneIfNeeded(key);
}

bool HookAdapter::resolveDecision(const ControlAction& action, const std::string& sessionID)
{
    const auto found = m_pendingDecisions.find(sessionID);
    if (found == m_pendingDecisions.end())
        return false;
    if (!found->second->isOpen()) {
        m_pendingDecisions.erase(found);
        return false;
    }
    const std::shared_ptr<PendingDecision> decision = found->second;
    const HookEvent& event = decision->event();

    std::string reply;
    std::string note;
    bool grantsSession = false;
    if (const auto* approve = action.as<ControlAction::Approve>()) {
        grantsSession = approve->scope == GrantScope::session;
        reply = encodeAllow(std::nullopt, grantRules(event, approve->scope));
        note = approve->scope == GrantScope::once
                   ? "Allowed from notch"
                   : "Allowed (" + std::string(toString(approve->scope)) + ") from notch";
    } else if (const auto* plan = action.as<ControlAction::ApprovePlan>()) {
        std::optional<std::string> text = event.rawPlan;
        if (const auto verbatim = m_verbatimPlans.find(sessionID); verbatim != m_verbatimPlans.end())
            text = verbatim->second;
        std::optional<json> input;
        if (text)
            input = json{{"plan", *text}};
        std::optional<json> updates;
        if (plan->mode)
            updates = json::array({{{"type", "setMode"}, {"mode", *plan->mode}, {"destination", "session"}}});
        Log::debug("decision", "approving plan (mode=" + plan->mode.value_or("unchanged") +
                                   ", echo=" + (input ? "true" : "false") + ")");
        reply = encodeAllow(input, updates);
        note = plan->mode ? "Plan approved (" + *plan->mode + ") from notch" : "Plan approved from notch";
    } else if (const auto* feedback = action.as<ControlAction::DenyWithMessage>()) {
        reply = encodeDeny(feedback->message);
        note = "Sent feedback from notch";
    } else if (const auto* answer = action.as<ControlAction::Answer>()) {
        const auto input = answerInput(event, answer->selections);
        if (!input)
            return false;
        reply = encodeAllow(input);
        note = "Answered from notch";
    } else {
        reply = encodeDeny(kDeniedMessage);
        note = "Denied from notch";
    }

    // Nothing went out: the request stays held, and the dispatcher turns to the terminal.
    if (reply.empty()) {
        Log::debug("decision", "no reply could be encoded for " + Log::shortId(sessionID));
        return false;
    }
    const bool sent = decision->send(reply);
    if (const auto current = m_pendingDecisions.find(sessionID);
        current != m_pendingDecisions.end() && current->second == decision)
        m_pendingDecisions.erase(current);
    if (!sent)
        return false;

    m_store.update(sessionID, [&](Session& s) {
        if (grantsSession)
            s.autoApprovePermissions = true;
        s.status = SessionStatus::Idle{};
        s.lastActivity = note;
    });
    Log::debug("decision", "resolved " + action.describe() + " for " + Log::shortId(sessionID));
    return true;
}

std::string HookAdapter::encodeAllow(const std::optional<json>& updatedInput,
                                     const std::optional<json>& updatedPermissions) const
{
    try {
        return m_profile->encodeAllow(updatedInput, updatedPermissions);
    } catch (const std::exception& error) {
        Log::debug("decision", std::string("allow could not be encoded: ") + error.what());
        return {};
    }
}

std::string HookAdapter::encodeDeny(const std::string& message) const
{
    try {
        return m_profile->encodeDeny(message);
    } catch (const std::exception& error) {
        Log::debug("decision", std::string("deny could not be encoded: ") + error.what());
        return {};
    }
}

std::optional<json> HookAdapter::grantRules(const HookEvent& event, GrantScope scope)
{
    if (scope != GrantScope::always)
        return std::nullopt;
    auto rules = suggestions(event);
    if (!rules)
        return std::nullopt;
    for (auto& rule : *rules)
        rule["destination"] = "localSettings";
    return rules;
}

std::optional<json> HookAdapter::answerInput(const HookEvent& event,
                                             const std::vector<std::vector<int>>& selections)
{
    const AgentInquiry* inquiry = question(event);
    if (!event.rawQuestionsJSON || !inquiry)
        return std::nullopt;
    auto questions = Json::parse(*event.rawQuestionsJSON);
    if (!questions || !questions->is_array())
        return std::nullopt;
    for (const auto& element : *questions) {
        if (!element.is_object())
            return std::nullopt;
    }
    std::vector<std::vector<std::int64_t>> picks;
    picks.reserve(selections.size());
    for (const auto& list : selections)
        picks.emplace_back(list.begin(), list.end());
    const auto answers = inquiry->answers(picks);
    if (!answers)
        return std::nullopt;
    json map = json::object();
    for (const auto& [question, text] : *answers)
        map[question] = text;
    return json{{"questions", std::move(*questions)}, {"answers", std::move(map)}};
}

void HookAdapter::cancelPendingDecision(const std::string& sessionID)
{
    const auto found = m_pendingDecisions.find(sessionID);
    if (found == m_pendingDecisions.end())
        return;
    const std::shared_ptr<PendingDecision> decision = std::move(found->second);
    m_pendingDecisions.erase(found);
    if (decision->isOpen()) {
        decision->close();
        Log::debug("decision", "passed " + Log::shortId(sessionID) + " back to terminal");
    }
}

bool HookAdapter::supportsAlwaysAllow(const HookEvent& event) const
{
    return m_profile->forwardsUpdatedPermissions() && suggestions(event).has_value();
}

void HookAdapter::applyPermissionState(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    if (const AgentInquiry* inquiry = question(event)) {
        showQuestion(key, *inquiry);
        return;
    }
    PermissionRequest request;
    request.toolName = event.toolName.value_or("a tool");
    request.summary = event.tool ? event.tool->title() : event.activity.value_or("Needs your permission");
    request.tool = event.tool;
    request.supportsAlwaysAllow = supportsAlwaysAllow(event);
    m_store.update(key, [&](Session& s) {
        s.status = SessionStatus::NeedsPermission{request};
        if (event.tool)
            s.lastActivity = event.tool->title();
    });
    if (event.tool && event.tool->as<ToolDetail::Write>())
        inspectWriteTarget(key, *event.tool);
}

// Whether the file a write replaces exists is read off the main thread; the note joins the
// request if it is still the one shown.
void HookAdapter::inspectWriteTarget(const std::string& key, const ToolDetail& tool)
{
    const Session* session = m_store.session(key);
    if (!session)
        return;
    const std::filesystem::path folder = session->cwd;
    runOnWorker<ToolDetail>(
        this,
        [tool, folder] {
            ToolDetail inspected = tool;
            inspected.inspectWriteTarget(folder);
            return inspected;
        },
        [this, key, tool](ToolDetail inspected) {
            const Session* current = m_store.session(key);
            if (!current)
                return;
            const auto* asking = current->status.as<SessionStatus::NeedsPermission>();
            if (!asking || asking->request.tool != tool || inspected == tool)
                return;
            m_store.update(key, [&](Session& s) {
                auto request = s.status.as<SessionStatus::NeedsPermission>()->request;
                request.tool = std::move(inspected);
                s.status = SessionStatus::NeedsPermission{std::move(request)};
            });
        });
}

void HookAdapter::applyTranscript(const TranscriptSnapshot& snapshot, const std::string& sessionID)
{
    const std::string& key = sessionID;
    const auto previousEntry = m_transcriptProgress.find(key);
    // The first snapshot, and the first of a replaced file, only set the count to grow from.
    const bool baseline = previousEntry == m_transcriptProgress.end() ||
                          previousEntry->second.generation != snapshot.generation;
    const TranscriptProgress previous = baseline ? TranscriptProgress{} : previousEntry->second;
    m_transcriptProgress[key] =
        TranscriptProgress{snapshot.generation, snapshot.toolResultCount, snapshot.unattributedToolResults,
                           snapshot.toolResultsByName};

    bool resolvedInTerminal = false;
    if (!baseline && snapshot.toolResultCount > previous.toolResults &&
        heldToolSettled(key, snapshot, previous)) {
        cancelPendingDecision(key);
        resolvedInTerminal = true;
    }

    std::optional<ContextUsage> context;
    if (snapshot.contextTokens) {
        auto& maximum = m_contextMaxTokens[key];
        maximum = std::max(maximum, *snapshot.contextTokens);
        const std::int64_t limit = snapshot.contextLimit
                                       ? *snapshot.contextLimit
                                       : m_contextLimits.limit(snapshot.contextModel, maximum);
        context = ContextUsage{*snapshot.contextTokens, limit, snapshot.contextModel};
    }

    m_store.update(key, [&](Session& s) {
        if (context)
            s.context = context;
        if (snapshot.aiTitle)
            s.aiTitle = snapshot.aiTitle;
        if (s.status.is<SessionStatus::Working>()) {
            if (snapshot.lastToolActivity)
                s.lastActivity = snapshot.lastToolActivity;
        } else if (s.status.asksForUser()) {
            if (resolvedInTerminal) {
                s.status = SessionStatus::Idle{};
                s.lastActivity = "Resolved in terminal";
            }
        } else if (s.status.is<SessionStatus::Done>()) {
            std::optional<std::string> summary;
            if (snapshot.lastAssistantText)
                summary = doneSummary(*snapshot.lastAssistantText);
            s.status = SessionStatus::Done{summary};
        } else if (s.status.is<SessionStatus::Idle>()) {
            if (snapshot.toolResultCount == previous.toolResults && snapshot.lastToolActivity &&
                snapshot.lastToolActivity != s.lastActivity) {
                s.status = SessionStatus::Working{snapshot.lastToolActivity};
                s.lastActivity = snapshot.lastToolActivity;
            }
        }
    });
    if (snapshot.lastAssistantText)
        m_lastAssistantText[key] = *snapshot.lastAssistantText;
    armIdleDoneIfNeeded(key);
}

// New tool results settle the held request only when one of them can be its tool's: results of
// other tools (say a read that ran beside it) leave it waiting. Results the transcript does not
// attribute to a tool, or a request that names no tool, count as settling it.
bool HookAdapter::heldToolSettled(const std::string& key, const TranscriptSnapshot& snapshot,
                                  const TranscriptProgress& previous) const
{
    const auto held = m_pendingDecisions.find(key);
    if (held == m_pendingDecisions.end())
        return true;
    const auto& toolName = held->second->event().toolName;
    if (!toolName || snapshot.unattributedToolResults > previous.unattributedToolResults)
        return true;
    const auto countOf = [&](const std::map<std::string, std::int64_t>& byName) {
        const auto found = byName.find(*toolName);
        return found == byName.end() ? std::int64_t{0} : found->second;
    };
    return countOf(snapshot.toolResultsByName) > countOf(previous.toolResultsByName);
}

} // namespace velquist
