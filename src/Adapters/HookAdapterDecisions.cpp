// The decision side of HookAdapter: held requests, the user's answers, and the transcript facts
// that show a request was settled in the terminal.

#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Adapters/HookSessionReducer.h"
#include "Core/SessionStore.h"
#include "Ingestion/TranscriptTailer.h"
#include "Platform/WorkerTask.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <algorithm>

namespace velquist {

namespace {

using nlohmann::json;
namespace Reducer = HookSessionReducer;

const std::string kDeniedMessage = "Denied from Velquist";

} // namespace

void HookAdapter::receive(std::shared_ptr<DecisionReply> decision)
{
    if (!decision)
        return;
    const HookEvent& event = decision->event();
    const std::string key = sessionKey(event.sessionID);
    ensureSession(event);
    m_store.update(key, [&](Session& s) { s = Reducer::withContext(std::move(s), event); });
    bindTerminal(key, event.ancestorPIDs);
    ensureTailer(event);
    if (!decision->isOpen())
        return;

    const Session* session = m_store.session(key);
    if (!Reducer::question(event) && session && session->autoApprovePermissions) {
        if (const std::string reply = encodeAllow(); !reply.empty()) {
            Log::debug("decision", "auto-approved " + Log::shortId(key) + " (session grant)");
            decision->send(reply);
            return;
        }
    }
    if (m_profile->autoApprovesReadOnlyTools() && event.tool &&
        (event.tool->as<ToolDetail::Read>() || event.tool->as<ToolDetail::Search>())) {
        if (const std::string reply = encodeAllow(); !reply.empty()) {
            m_store.update(key, [&](Session& s) { s = Reducer::showWorking(std::move(s), event.activity); });
            Log::debug("decision", "auto-approved read-only " + event.toolName.value_or("tool") + " for " +
                                       Log::shortId(key));
            decision->send(reply);
            m_housekeeping.armIdleDoneIfNeeded(key);
            return;
        }
    }
    holdRequest(key, std::move(decision));
}

void HookAdapter::holdRequest(const std::string& key, std::shared_ptr<DecisionReply> decision)
{
    const Session* session = m_store.session(key);
    SessionStatus before = session ? session->status : SessionStatus::Idle{};
    const HookEvent& request = decision->event();
    m_desk.hold(key, decision, std::move(before));
    m_store.update(key,
                   [&](Session& s) { s = Reducer::showRequest(std::move(s), request, m_profile->traits()); });
    if (request.tool && request.tool->as<ToolDetail::Write>())
        inspectWriteTarget(key, *request.tool);
    m_housekeeping.armIdleDoneIfNeeded(key);
}

// A request whose client went away is no longer the user's to answer: a session still showing it
// goes back to the status it had without it.
void HookAdapter::hungUp(const std::string& key, const HookEvent& request, const SessionStatus& before)
{
    const Session* session = m_store.session(key);
    if (!session || !Reducer::showsRequest(session->status, request, m_profile->traits()))
        return;
    m_store.update(key, [&](Session& s) { s.status = before; });
    m_housekeeping.armIdleDoneIfNeeded(key);
}

bool HookAdapter::resolveDecision(const ControlAction& action, const std::string& sessionID)
{
    const HookEvent* held = m_desk.answerable(sessionID);
    if (!held)
        return false;
    // The answer below lets go of the request; its event is kept for the note.
    const HookEvent event = *held;

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
        if (const auto record = m_records.find(sessionID);
            record != m_records.end() && record->second.verbatimPlan)
            text = record->second.verbatimPlan;
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
    if (!m_desk.answer(sessionID, reply))
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
    auto rules = Reducer::suggestions(event);
    if (!rules)
        return std::nullopt;
    for (auto& rule : *rules)
        rule["destination"] = "localSettings";
    return rules;
}

std::optional<json> HookAdapter::answerInput(const HookEvent& event,
                                             const std::vector<std::vector<int>>& selections)
{
    const AgentInquiry* inquiry = Reducer::question(event);
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
    m_desk.cancel(sessionID);
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
    SessionRecord& record = m_records[key];
    // The first snapshot, and the first of a replaced file, only set the count to grow from.
    const bool baseline = !record.progress || record.progress->generation != snapshot.generation;
    const TranscriptProgress previous = baseline ? TranscriptProgress{} : *record.progress;
    record.progress = TranscriptProgress{snapshot.generation, snapshot.toolResultCount,
                                         snapshot.unattributedToolResults, snapshot.toolResultsByName};

    bool resolvedInTerminal = false;
    if (!baseline && snapshot.toolResultCount > previous.toolResults &&
        heldToolSettled(key, snapshot, previous)) {
        m_desk.cancel(key);
        resolvedInTerminal = true;
    }

    std::optional<ContextUsage> context;
    if (snapshot.contextTokens) {
        record.contextMaxTokens = std::max(record.contextMaxTokens, *snapshot.contextTokens);
        context = ContextUsage{*snapshot.contextTokens, contextLimit(snapshot, record.contextMaxTokens),
                               snapshot.contextModel};
    }
    if (snapshot.lastAssistantText)
        record.lastAssistantText = snapshot.lastAssistantText;

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
                summary = Reducer::doneSummary(*snapshot.lastAssistantText);
            s.status = SessionStatus::Done{summary};
        } else if (s.status.is<SessionStatus::Idle>()) {
            if (snapshot.toolResultCount == previous.toolResults && snapshot.lastToolActivity &&
                snapshot.lastToolActivity != s.lastActivity) {
                s.status = SessionStatus::Working{snapshot.lastToolActivity};
                s.lastActivity = snapshot.lastToolActivity;
            }
        }
    });
    m_housekeeping.armIdleDoneIfNeeded(key);
}

// The transcript's own window wins; Claude Code's adapter knows its extended models; any other
// session's window is the default one until it used more.
std::int64_t HookAdapter::contextLimit(const TranscriptSnapshot& snapshot, std::int64_t maximum)
{
    if (snapshot.contextLimit)
        return *snapshot.contextLimit;
    if (m_contextLimits)
        return m_contextLimits->limit(snapshot.contextModel, maximum);
    return ContextLimits::windowFor(maximum);
}

// New tool results settle the held request only when one of them can be its tool's: results of
// other tools (say a read that ran beside it) leave it waiting. Results the transcript does not
// attribute to a tool, or a request that names no tool, count as settling it.
bool HookAdapter::heldToolSettled(const std::string& key, const TranscriptSnapshot& snapshot,
                                  const TranscriptProgress& previous)
{
    const HookEvent* held = m_desk.answerable(key);
    if (!held)
        return true;
    const auto& toolName = held->toolName;
    if (!toolName || snapshot.unattributedToolResults > previous.unattributedToolResults)
        return true;
    const auto countOf = [&](const std::map<std::string, std::int64_t>& byName) {
        const auto found = byName.find(*toolName);
        return found == byName.end() ? std::int64_t{0} : found->second;
    };
    return countOf(snapshot.toolResultsByName) > countOf(previous.toolResultsByName);
}

} // namespace velquist
