#include "Adapters/HookAdapter.h"

#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/HookSessionReducer.h"
#include "Core/SessionStore.h"
#include "Ingestion/TranscriptTailer.h"
#include "Platform/Clock.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Shared/ProcessTree.h"
#include "Terminal/TerminalBinder.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace velquist {

namespace {

using Name = HookEvent::Name;
namespace Reducer = HookSessionReducer;

// What the lookup of a session's terminal application found.
struct FoundTerminal
{
    // Set when the application was found among the hook client's ancestors: it owns the session.
    std::optional<std::int64_t> ownerPID;
    std::optional<std::string> appName;
    std::string bundleID;
};

// The owner's application, or without an owner the first regular application among the hook
// client's ancestors; inside tmux, whose panes descend from its server rather than from a
// terminal, the terminal of a client attached to the session's server. Runs on a worker.
std::optional<FoundTerminal> lookUpTerminal(const TerminalBinder& binder,
                                            std::optional<std::int64_t> ownerPID,
                                            const std::vector<int>& ancestorPIDs,
                                            const TerminalEnvironment& env)
{
    if (ownerPID) {
        if (const auto app = binder.resolveApp(*ownerPID))
            return FoundTerminal{std::nullopt, app->localizedName, app->identifier};
    } else {
        const std::vector<std::int64_t> pids(ancestorPIDs.begin(), ancestorPIDs.end());
        if (const auto host = binder.resolveHostApp(pids))
            return FoundTerminal{host->pid, host->name, host->bundleID};
    }
    if (const auto host = binder.resolveTmuxHost(env))
        return FoundTerminal{std::nullopt, host->name, host->bundleID};
    return std::nullopt;
}

} // namespace

HookAdapter::HookAdapter(SessionStore& store, AgentEngine engine,
                         std::unique_ptr<const EngineProfile> profile, Services services, QObject* parent)
    : QObject(parent), m_store(store), m_engine(std::move(engine)), m_profile(std::move(profile)),
      m_services(services), m_contextLimits(std::move(services.contextLimits)),
      m_desk([this](const std::string& key, const HookEvent& request, const SessionStatus& before) {
          hungUp(key, request, before);
      }),
      m_housekeeping(store, m_engine, *m_profile, {services.clock, services.scheduler, services.workers},
                     *this)
{
    // A session may leave the store without this adapter's doing (the store's cap, another
    // component): its tailer, file watch, held request and timers must not outlive it.
    connect(&m_store, &SessionStore::sessionRemoved, this, [this](const std::string& id) {
        if (id.starts_with(m_engine.idNamespace + ":"))
            endSession(id);
    });
}

HookAdapter::~HookAdapter()
{
    stop();
}

std::string HookAdapter::sessionKey(const std::string& agentSessionID) const
{
    return m_engine.idNamespace + ":" + agentSessionID;
}

void HookAdapter::start()
{
    m_services.dispatcher.registerResolver(m_engine.kind, this);
    m_housekeeping.start();
}

void HookAdapter::stop()
{
    for (auto& [key, record] : m_records) {
        if (record.tailer) {
            record.tailer->stop();
            record.tailer.reset();
        }
    }
    m_housekeeping.stop();
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
    case Name::permissionRequest:
        // A newer request of the session replaces one still held; its client gets no reply.
        m_desk.cancel(key);
        break;
    case Name::stop:
        m_desk.cancel(key);
        break;
    case Name::sessionEnd:
        endSession(key);
        break;
    default:
        break;
    }
    const auto now = m_services.clock.now();
    m_store.update(key, [&](Session& s) {
        const auto owner = s.terminal.ownerPID;
        s = Reducer::reduce(std::move(s), event, m_profile->traits(), now);
        keepLiveOwner(s, owner);
    });

    if (Reducer::announcesPlan(event))
        m_records[key].verbatimPlan = event.rawPlan;
    if (event.name == Name::postToolUse)
        settleHeldTool(key, event);
    if (event.name == Name::permissionRequest && event.tool && event.tool->as<ToolDetail::Write>())
        inspectWriteTarget(key, *event.tool);
    if (event.name == Name::sessionEnd)
        m_housekeeping.scheduleEndedRemoval(key);
    else
        bindTerminal(key, event.ancestorPIDs);
    m_housekeeping.armIdleDoneIfNeeded(key);
}

// A finished tool settles a request held for it: the agent went on without the panel. A parallel
// tool of another name leaves it held.
void HookAdapter::settleHeldTool(const std::string& key, const HookEvent& finished)
{
    if (const HookEvent* held = m_desk.answerable(key)) {
        if (held->toolName && finished.toolName && *held->toolName != *finished.toolName)
            return;
    }
    m_desk.cancel(key);
}

// A session's first event makes it: idle, in the event's folder and terminal.
void HookAdapter::keepLiveOwner(Session& session, const std::optional<std::int64_t>& before)
{
    const auto alive = [](const std::optional<std::int64_t>& pid) {
        return pid && *pid >= 2 && *pid <= std::numeric_limits<std::int32_t>::max() &&
               ProcessTree::isAlive(static_cast<pid_t>(*pid));
    };
    if (session.terminal.ownerPID != before && alive(before) && !alive(session.terminal.ownerPID))
        session.terminal.ownerPID = before;
}

void HookAdapter::ensureSession(const HookEvent& event)
{
    const std::string key = sessionKey(event.sessionID);
    if (!m_store.session(key))
        m_store.upsert(Reducer::fresh(key, m_engine.kind, event, m_services.clock.now()));
}

// Finding the application walks /proc, asks the X server and may run tmux: it is done on a worker,
// one lookup at a time per session. Once an application is bound, a later tty or owner does not
// move the session to another one.
void HookAdapter::bindTerminal(const std::string& key, const std::vector<int>& ancestorPIDs)
{
    const TerminalBinder* binder = m_services.terminalBinder;
    const Session* session = m_store.session(key);
    if (!binder || !session || session->terminal.appName)
        return;
    SessionRecord& record = m_records[key];
    if (record.bindingTerminal)
        return;
    record.bindingTerminal = true;
    runOnWorker<std::optional<FoundTerminal>>(
        this,
        [binder, ownerPID = session->terminal.ownerPID, ancestorPIDs, env = session->terminal.env] {
            return lookUpTerminal(*binder, ownerPID, ancestorPIDs, env);
        },
        [this, key](std::optional<FoundTerminal> found) {
            if (const auto record = m_records.find(key); record != m_records.end())
                record->second.bindingTerminal = false;
            const Session* current = m_store.session(key);
            if (!found || !current || current->terminal.appName)
                return;
            m_store.update(key, [&](Session& s) {
                if (found->ownerPID && !s.terminal.ownerPID)
                    s.terminal.ownerPID = found->ownerPID;
                s.terminal.appName = found->appName;
                s.terminal.bundleID = found->bundleID;
            });
        },
        m_services.workers);
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
    if (!parser || path.empty())
        return;
    SessionRecord& record = m_records[key];
    if (record.tailer)
        return;
    record.tailer = std::make_unique<TranscriptTailer>(
        std::filesystem::path(path), std::move(parser),
        [this, key](const TranscriptSnapshot& snapshot) { applyTranscript(snapshot, key); },
        m_services.transcriptWatcher, m_services.scheduler, m_services.workers);
}

void HookAdapter::endSession(const std::string& key)
{
    forgetSession(key);
    m_housekeeping.forget(key);
}

// Everything kept for one session, dropped together wherever a session ends or is swept.
void HookAdapter::forgetSession(const std::string& key)
{
    m_desk.cancel(key);
    if (const auto record = m_records.find(key); record != m_records.end()) {
        if (record->second.tailer)
            record->second.tailer->stop();
        m_records.erase(record);
    }
}

void HookAdapter::idleDone(const std::string& key)
{
    std::optional<std::string> summary;
    if (const auto record = m_records.find(key);
        record != m_records.end() && record->second.lastAssistantText)
        summary = Reducer::doneSummary(*record->second.lastAssistantText);
    m_store.update(key, [&](Session& s) { s.status = SessionStatus::Done{summary}; });
}

bool HookAdapter::holdsDecision(const std::string& sessionID) const
{
    return m_desk.holds(sessionID);
}

bool HookAdapter::hasTailer(const std::string& sessionID) const
{
    const auto record = m_records.find(sessionID);
    return record != m_records.end() && record->second.tailer;
}

bool HookAdapter::hasIdleDoneTimer(const std::string& sessionID) const
{
    return m_housekeeping.hasIdleDoneTimer(sessionID);
}

} // namespace velquist
