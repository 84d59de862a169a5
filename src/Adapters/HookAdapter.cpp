#include "Adapters/HookAdapter.h"

#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Core/Clock.h"
#include "Core/SessionStore.h"
#include "Core/ToolText.h"
#include "Ingestion/HookInstaller.h"
#include "Ingestion/PendingDecision.h"
#include "Ingestion/TranscriptTailer.h"
#include "Shared/AppPaths.h"
#include "Shared/Log.h"
#include "Shared/ProcessTree.h"
#include "Terminal/TerminalBinder.h"

#include <QString>
#include <QUuid>
#include <algorithm>
#include <cctype>
#include <limits>

namespace velquist {

namespace {

using Name = HookEvent::Name;

const std::string kThinking = "Thinking\u2026";
const std::string kPlanReady = "Plan ready for review";
const std::string kPlanTool = "ExitPlanMode";
const std::string kQuestionTool = "AskUserQuestion";

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

// The owner counts as gone only when the system says there is no such process; an id that cannot
// be a process id is no owner at all.
bool ownerIsGone(const std::optional<std::int64_t>& ownerPID)
{
    if (!ownerPID || *ownerPID < 2 || *ownerPID > std::numeric_limits<std::int32_t>::max())
        return false;
    return !ProcessTree::isAlive(static_cast<pid_t>(*ownerPID));
}

} // namespace

HookAdapter::HookAdapter(SessionStore& store, AgentEngine engine,
                         std::unique_ptr<const EngineProfile> profile, Services services, QObject* parent)
    : QObject(parent), m_store(store), m_engine(std::move(engine)), m_profile(std::move(profile)),
      m_services(services), m_contextLimits(AppPaths::claudeSettings())
{
}

HookAdapter::~HookAdapter()
{
    stop();
    // A held request that someone else still holds must not call back into this adapter.
    for (auto& [key, decision] : m_pendingDecisions)
        decision->setOnHangUp({});
}

const AgentInquiry* HookAdapter::question(const HookEvent& event)
{
    const auto* asked = event.tool ? event.tool->as<ToolDetail::Question>() : nullptr;
    return asked ? &asked->inquiry : nullptr;
}

std::string HookAdapter::doneSummary(std::string_view text)
{
    return ToolText::truncated(ToolText::oneLine(text), 120, 119, "\u2026");
}

void HookAdapter::showQuestion(const std::string& key, const AgentInquiry& inquiry)
{
    m_store.update(key, [&](Session& s) {
        s.status = SessionStatus::WaitingForInput{inquiry};
        s.lastActivity = inquiry.questions.empty()
                             ? std::nullopt
                             : std::optional<std::string>(inquiry.questions.front().question);
    });
}

void HookAdapter::showWorking(const std::string& key, const std::optional<std::string>& activity)
{
    m_store.update(key, [&](Session& s) {
        s.status = SessionStatus::Working{activity};
        s.lastActivity = activity;
    });
}

std::string HookAdapter::sessionKey(const std::string& agentSessionID) const
{
    return m_engine.idNamespace + ":" + agentSessionID;
}

void HookAdapter::start()
{
    m_services.dispatcher.registerResolver(m_engine.kind, this);
    m_cleanupTimer =
        ScheduledTimer(m_services.scheduler,
                       m_services.scheduler.scheduleRepeating(kCleanupInterval, [this] { housekeeping(); }));
}

void HookAdapter::stop()
{
    for (auto& [key, tailer] : m_tailers)
        tailer->stop();
    m_tailers.clear();
    m_idleDoneTimers.clear();
    m_endedRemovals.clear();
    m_cleanupTimer.cancel();
    // The dispatcher keeps a plain pointer: it must not outlive this adapter.
    if (m_services.dispatcher.resolver(m_engine.kind) == this)
        m_services.dispatcher.registerResolver(m_engine.kind, nullptr);
}

void HookAdapter::resumeRestoredSessions()
{
    std::vector<std::string> keys;
    for (const auto& [key, session] : m_store.sessions()) {
        if (session.agent == m_engine.kind)
            keys.push_back(key);
    }
    for (const auto& key : keys) {
        const Session* session = m_store.session(key);
        if (!session)
            continue;
        if (session->status.is<SessionStatus::Working>())
            m_store.update(key, [](Session& s) { s.status = SessionStatus::Idle{}; });
        if (const Session* resumed = m_store.session(key); resumed && resumed->transcriptPath)
            startTailer(key, *resumed->transcriptPath);
    }
}

void HookAdapter::apply(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    ensureSession(event);
    // An ending session's transcript is not worth opening only to close it again.
    if (event.name != Name::sessionEnd)
        ensureTailer(event);

    switch (event.name) {
    case Name::sessionStart:
        break;
    case Name::userPromptSubmit:
        m_store.update(key, [&](Session& s) {
            s.status = SessionStatus::Working{kThinking};
            s.lastActivity = kThinking;
            if (!s.firstPrompt && event.prompt && !event.prompt->empty())
                s.firstPrompt = event.prompt;
            s.subagentsDone = 0;
        });
        break;
    case Name::preToolUse:
        if (!recordSubagentActivity(event))
            applyPreToolUse(event);
        break;
    case Name::postToolUse:
        applyPostToolUse(event);
        break;
    case Name::permissionRequest:
        // A newer request of the session replaces one still held; its client gets no reply.
        cancelPendingDecision(key);
        applyPermissionState(event);
        break;
    case Name::notification:
        applyNotification(event);
        break;
    case Name::stop:
        m_store.update(key, [](Session& s) { s.status = SessionStatus::Done{}; });
        cancelPendingDecision(key);
        break;
    case Name::sessionEnd:
        endSession(key);
        break;
    case Name::subagentStart:
        m_store.update(key, [&](Session& s) {
            const std::string id = event.agentID
                                       ? *event.agentID
                                       : QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
            const bool known = std::any_of(s.runningSubagents.begin(), s.runningSubagents.end(),
                                           [&](const SubagentRun& run) { return run.id == id; });
            if (known)
                return;
            const std::string name =
                event.agentType && !event.agentType->empty() ? *event.agentType : "subagent";
            s.runningSubagents.push_back(SubagentRun{id, name, std::nullopt, m_services.clock.now()});
            Log::debug("subagent", "started " + name + " in " + Log::shortId(key));
        });
        break;
    case Name::subagentStop:
        m_store.update(key, [&](Session& s) {
            auto& runs = s.runningSubagents;
            if (event.agentID) {
                std::erase_if(runs, [&](const SubagentRun& run) { return run.id == *event.agentID; });
            } else if (!runs.empty()) {
                runs.erase(runs.begin());
            }
            s.subagentsDone += 1;
        });
        break;
    }
    armIdleDoneIfNeeded(key);
}

void HookAdapter::applyPreToolUse(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    if (const AgentInquiry* inquiry = question(event)) {
        showQuestion(key, *inquiry);
        return;
    }
    if (event.toolName == kPlanTool) {
        const bool alwaysAllow = supportsAlwaysAllow(event);
        m_store.update(key, [&](Session& s) {
            s.status = SessionStatus::NeedsPermission{
                PermissionRequest{kPlanTool, kPlanReady, event.tool, alwaysAllow}};
            s.lastActivity = kPlanReady;
        });
        if (event.rawPlan)
            m_verbatimPlans[key] = *event.rawPlan;
        return;
    }
    showWorking(key, event.activity);
}

void HookAdapter::applyPostToolUse(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    if (!recordSubagentActivity(event)) {
        if (event.toolName == kQuestionTool || event.toolName == kPlanTool) {
            showWorking(key, kThinking);
        } else {
            m_store.update(key, [&](Session& s) {
                if (!s.status.is<SessionStatus::Working>())
                    return;
                s.status = SessionStatus::Working{event.activity};
                s.lastActivity = event.activity;
            });
        }
    }
    // A finished tool settles a request held for it: the agent went on without the panel. A
    // parallel tool of another name leaves it held.
    if (const auto held = m_pendingDecisions.find(key); held != m_pendingDecisions.end()) {
        const auto& heldTool = held->second->event().toolName;
        if (heldTool && event.toolName && *heldTool != *event.toolName)
            return;
    }
    cancelPendingDecision(key);
}

bool HookAdapter::recordSubagentActivity(const HookEvent& event)
{
    if (question(event) || event.toolName == kPlanTool || !event.agentID || !event.activity)
        return false;
    const std::string key = sessionKey(event.sessionID);
    const Session* session = m_store.session(key);
    if (!session)
        return false;
    const auto& runs = session->runningSubagents;
    const bool known = std::any_of(runs.begin(), runs.end(),
                                   [&](const SubagentRun& run) { return run.id == *event.agentID; });
    if (!known)
        return false;
    m_store.update(key, [&](Session& s) {
        for (auto& run : s.runningSubagents) {
            if (run.id == *event.agentID) {
                run.activity = event.activity;
                break;
            }
        }
    });
    return true;
}

void HookAdapter::applyNotification(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    const std::string message = event.notificationMessage.value_or("");
    const std::string type = event.notificationType.value_or("");
    const std::string lower = lowered(message);

    if (type == "permission_prompt" || (type.empty() && contains(lower, "permission"))) {
        m_store.update(key, [&](Session& s) {
            if (s.status.asksForUser())
                return;
            const std::string tool = toolName(message).value_or("a tool");
            s.status = SessionStatus::NeedsPermission{PermissionRequest{tool, message, std::nullopt, false}};
        });
        return;
    }
    if (type == "agent_needs_input" || type == "idle_prompt" ||
        (type.empty() && contains(lower, "waiting"))) {
        m_store.update(key, [](Session& s) {
            if (!s.status.is<SessionStatus::Working>())
                return;
            s.status = SessionStatus::WaitingForInput{
                AgentInquiry{{AgentQuestion{"Waiting for your input", {}, {}, false}}}};
        });
    }
}

std::optional<std::string> HookAdapter::toolName(std::string_view permissionMessage)
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
    return text.mid(first, last - first).toStdString();
}

void HookAdapter::ensureSession(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    if (m_store.session(key)) {
        m_store.update(key, [&](Session& s) {
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
            resolveTerminalApp(s.terminal, event.ancestorPIDs);
        });
        return;
    }
    TerminalBinding binding;
    binding.tty = event.tty;
    if (event.ttyOwnerPID)
        binding.ownerPID = *event.ttyOwnerPID;
    binding.env = event.terminalEnv;
    resolveTerminalApp(binding, event.ancestorPIDs);

    Session session;
    session.id = key;
    session.agent = m_engine.kind;
    session.cwd = event.cwd.value_or("unknown");
    session.status = SessionStatus::Idle{};
    session.startedAt = session.updatedAt = m_services.clock.now();
    session.terminal = std::move(binding);
    session.transcriptPath = event.transcriptPath;
    m_store.upsert(std::move(session));
}

// Once an application is bound, a later tty or owner does not move the session to another one.
void HookAdapter::resolveTerminalApp(TerminalBinding& binding, const std::vector<int>& ancestorPIDs) const
{
    const TerminalBinder* binder = m_services.terminalBinder;
    if (binding.appName || !binder)
        return;
    if (binding.ownerPID) {
        if (const auto app = binder->resolveApp(*binding.ownerPID)) {
            binding.appName = app->localizedName;
            binding.bundleID = app->identifier;
        }
        return;
    }
    const std::vector<std::int64_t> pids(ancestorPIDs.begin(), ancestorPIDs.end());
    if (const auto host = binder->resolveHostApp(pids)) {
        binding.ownerPID = host->pid;
        binding.appName = host->name;
        binding.bundleID = host->bundleID;
    }
}

void HookAdapter::ensureTailer(const HookEvent& event)
{
    if (event.transcriptPath)
        startTailer(sessionKey(event.sessionID), *event.transcriptPath);
}

// A tailer follows the path it was made with; a later path does not replace it.
void HookAdapter::startTailer(const std::string& key, const std::string& path)
{
    TranscriptLineParser parser = m_profile->transcriptLineParser();
    if (!parser || path.empty() || m_tailers.contains(key))
        return;
    m_tailers.emplace(key,
                      std::make_unique<TranscriptTailer>(
                          std::filesystem::path(path), std::move(parser),
                          [this, key](const TranscriptSnapshot& snapshot) { applyTranscript(snapshot, key); },
                          m_services.transcriptWatcher, m_services.scheduler));
}

void HookAdapter::endSession(const std::string& key)
{
    forgetSession(key);
    m_store.update(key, [](Session& s) { s.status = SessionStatus::Ended{}; });
    m_endedRemovals[key] = ScheduledTimer(
        m_services.scheduler,
        m_services.scheduler.schedule(kEndedRemovalDelay, [this, key] { removeIfStillEnded(key); }));
}

// An event after the end may have brought the session back; then it stays.
void HookAdapter::removeIfStillEnded(const std::string& key)
{
    // Erasing destroys the timer whose callback runs now; the key is copied first.
    const std::string id = key;
    m_endedRemovals.erase(id);
    if (const Session* session = m_store.session(id); session && session->status.is<SessionStatus::Ended>())
        m_store.remove(id);
}

// Everything the adapter keeps for one session, dropped together wherever a session ends or is swept.
void HookAdapter::forgetSession(const std::string& key)
{
    cancelPendingDecision(key);
    if (const auto tailer = m_tailers.find(key); tailer != m_tailers.end()) {
        tailer->second->stop();
        m_tailers.erase(tailer);
    }
    m_idleDoneTimers.erase(key);
    m_endedRemovals.erase(key);
    m_transcriptProgress.erase(key);
    m_contextMaxTokens.erase(key);
    m_lastAssistantText.erase(key);
    m_verbatimPlans.erase(key);
}

void HookAdapter::armIdleDoneIfNeeded(const std::string& key)
{
    if (!m_profile->infersDoneWhenIdle())
        return;
    const Session* session = m_store.session(key);
    if (!session || !session->status.is<SessionStatus::Working>()) {
        m_idleDoneTimers.erase(key);
        return;
    }
    m_idleDoneTimers[key] = ScheduledTimer(
        m_services.scheduler,
        m_services.scheduler.schedule(kIdleDoneDelay, [this, key] { markIdleSessionDone(key); }));
}

void HookAdapter::markIdleSessionDone(const std::string& key)
{
    const std::string id = key;
    m_idleDoneTimers.erase(id);
    const Session* session = m_store.session(id);
    if (!session || !session->status.is<SessionStatus::Working>())
        return;
    std::optional<std::string> summary;
    if (const auto text = m_lastAssistantText.find(id); text != m_lastAssistantText.end())
        summary = doneSummary(text->second);
    Log::debug("done", Log::shortId(id) + " quiet for 25 s");
    m_store.update(id, [&](Session& s) { s.status = SessionStatus::Done{summary}; });
}

void HookAdapter::housekeeping()
{
    removeStaleSessions();
    healHooksIfNeeded();
}

// Only this agent's sessions: another adapter's sessions carry tailers and held requests that
// only that adapter can let go of.
void HookAdapter::removeStaleSessions()
{
    const auto cutoff = m_services.clock.now() - kStaleSessionAge;
    const std::string prefix = m_engine.idNamespace + ":";
    std::vector<std::string> stale;
    for (const auto& [key, session] : m_store.sessions()) {
        if (!key.starts_with(prefix) || session.agent != m_engine.kind)
            continue;
        if (session.updatedAt < cutoff || ownerIsGone(session.terminal.ownerPID))
            stale.push_back(key);
    }
    for (const auto& key : stale) {
        Log::debug("cleanup", "removing stale session " + Log::shortId(key));
        forgetSession(key);
        m_store.remove(key);
    }
}

void HookAdapter::healHooksIfNeeded()
{
    if (++m_cleanupTicks % kHealEveryTicks != 0)
        return;
    try {
        const HookInstallTarget target = m_profile->installTarget();
        if (!HookInstaller::hooksInstalled(target)) {
            Log::debug("hooks", "reinstalling missing " + m_engine.idNamespace + " hooks");
            HookInstaller::installHooks(target);
        }
    } catch (const std::exception& error) {
        // The next tenth tick tries again.
        Log::debug("hooks", std::string("healing failed: ") + error.what());
    }
}

bool HookAdapter::holdsDecision(const std::string& sessionID) const
{
    return m_pendingDecisions.contains(sessionID);
}

bool HookAdapter::hasTailer(const std::string& sessionID) const
{
    return m_tailers.contains(sessionID);
}

bool HookAdapter::hasIdleDoneTimer(const std::string& sessionID) const
{
    const auto found = m_idleDoneTimers.find(sessionID);
    return found != m_idleDoneTimers.end() && found->second.isActive();
}

} // namespace velquist
