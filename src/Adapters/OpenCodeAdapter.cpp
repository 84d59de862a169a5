#include "Adapters/OpenCodeAdapter.h"

#include "Actions/ActionDispatcher.h"
#include "Adapters/OpenCodeEvent.h"
#include "Adapters/OpenCodeEventStream.h"
#include "Core/SessionStore.h"
#include "Core/ToolText.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Terminal/TerminalBinder.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <algorithm>

namespace velquist {

namespace {

// Enough for the done summary, which shows 120 characters.
constexpr std::size_t kLastTextCharacters = 512;

std::string doneSummary(std::string_view text)
{
    return ToolText::truncated(ToolText::oneLine(text), 120, 119, "\u2026");
}

bool isWaiting(const Session& session)
{
    return session.status.asksForUser();
}

} // namespace

OpenCodeAdapter::OpenCodeAdapter(SessionStore& store, Services services, QObject* parent)
    : QObject(parent), m_store(store),
      m_services(std::move(services)), m_engine{AgentKind::opencode, "opencode", AgentMechanism::localServer,
                                                AgentCapabilities{true, true, true, true, true}, "opencode"},
      m_network(std::make_unique<QNetworkAccessManager>()), m_contextLimits(m_services.claudeSettings)
{
    // A proxy from the environment must never see traffic meant for a local server.
    m_network->setProxy(QNetworkProxy::NoProxy);
    if (!m_services.findServers)
        m_services.findServers = [] { return OpenCodeDiscovery::listeningServers(); };
    // A session the store drops on its own (its cap) takes its held request and notes with it.
    connect(&m_store, &SessionStore::sessionRemoved, this, [this](const std::string& id) {
        if (id.starts_with(m_engine.idNamespace + ":"))
            forget(id);
    });
}

OpenCodeAdapter::~OpenCodeAdapter()
{
    stop();
    // Replies still in flight must not call back into an adapter being torn down.
    for (QNetworkReply* reply : m_network->findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        if (!reply->isFinished() && reply->error() == QNetworkReply::NoError)
            reply->abort();
    }
    m_servers.clear();
    if (m_services.dispatcher.resolver(AgentKind::opencode) == this)
        m_services.dispatcher.registerResolver(AgentKind::opencode, nullptr);
}

std::string OpenCodeAdapter::sessionKey(const std::string& openCodeSessionID) const
{
    return m_engine.idNamespace + ":" + openCodeSessionID;
}

void OpenCodeAdapter::start()
{
    m_services.dispatcher.registerResolver(AgentKind::opencode, this);
    m_stopped = false;
    discover();
    QPointer<OpenCodeAdapter> self(this);
    m_discoveryTimer = ScheduledTimer(m_services.scheduler,
                                      m_services.scheduler.scheduleRepeating(kDiscoveryInterval, [self] {
                                          if (self)
                                              self->discover();
                                      }));
}

void OpenCodeAdapter::stop()
{
    m_stopped = true;
    m_discoveryTimer.cancel();
    for (auto& [base, link] : m_servers) {
        link.original->stop();
        link.v2->stop();
    }
    m_servers.clear();
}

void OpenCodeAdapter::discover()
{
    if (m_stopped || m_scanRunning)
        return;
    m_scanRunning = true;
    runOnWorker<std::optional<std::vector<OpenCodeServer>>>(
        this, m_services.findServers,
        [this](std::optional<std::vector<OpenCodeServer>> servers) {
            m_scanRunning = false;
            if (!servers) {
                // A failed read says nothing about the servers: dropping them would make held
                // requests vanish until the next good pass.
                Log::debug("opencode", "socket table unreadable; keeping known servers");
                return;
            }
            reconcile(*servers);
        },
        m_services.workers);
}

void OpenCodeAdapter::reconcile(const std::vector<OpenCodeServer>& servers)
{
    if (m_stopped)
        return;
    std::set<std::string> found;
    for (const auto& server : servers) {
        const std::string base = server.baseURL();
        if (!found.insert(base).second)
            continue;
        if (!m_servers.contains(base))
            openStreams(server);
    }
    for (auto it = m_servers.begin(); it != m_servers.end();) {
        if (found.contains(it->first)) {
            ++it;
            continue;
        }
        const std::string base = it->first;
        it->second.original->stop();
        it->second.v2->stop();
        it = m_servers.erase(it);
        dropSessions(base);
        Log::debug("opencode", "server " + base + " went away");
    }
}

void OpenCodeAdapter::openStreams(const OpenCodeServer& server)
{
    const std::string base = server.baseURL();
    Log::debug("opencode", "attaching to " + base + " (pid " + std::to_string(server.pid) + ")");
    ServerLink link;
    link.pid = server.pid;
    link.original = makeStream(base, server.pid, OpenCodeApi::original);
    link.v2 = makeStream(base, server.pid, OpenCodeApi::v2);
    ServerLink& stored = m_servers[base] = std::move(link);
    stored.original->start();
    stored.v2->start();
}

std::unique_ptr<OpenCodeEventStream> OpenCodeAdapter::makeStream(const std::string& base, pid_t pid,
                                                                 OpenCodeApi api)
{
    const QUrl url(QString::fromStdString(base + (api == OpenCodeApi::v2 ? "/api/event" : "/event")));
    QPointer<OpenCodeAdapter> self(this);
    return std::make_unique<OpenCodeEventStream>(*m_network, m_services.scheduler, url,
                                                 [self, base, pid, api](const std::string& payload) {
                                                     if (!self)
                                                         return;
                                                     if (const auto update = OpenCodeEvent::parse(payload))
                                                         self->apply(*update, base, pid, api);
                                                 });
}

std::vector<std::string> OpenCodeAdapter::serverBases() const
{
    std::vector<std::string> bases;
    for (const auto& [base, link] : m_servers)
        bases.push_back(base);
    return bases;
}

const OpenCodeEventStream* OpenCodeAdapter::stream(const std::string& serverBase, OpenCodeApi api) const
{
    const auto found = m_servers.find(serverBase);
    if (found == m_servers.end())
        return nullptr;
    return api == OpenCodeApi::v2 ? found->second.v2.get() : found->second.original.get();
}

void OpenCodeAdapter::forget(const std::string& id)
{
    m_pending.erase(id);
    m_sessionServer.erase(id);
    m_autoApprove.erase(id);
    m_lastText.erase(id);
}

void OpenCodeAdapter::dropSessions(const std::string& serverBase)
{
    std::vector<std::string> ids;
    for (const auto& [id, base] : m_sessionServer) {
        if (base == serverBase)
            ids.push_back(id);
    }
    for (const auto& id : ids) {
        forget(id);
        m_store.remove(id);
    }
}

void OpenCodeAdapter::rememberTool(const std::string& callID, const ToolDetail& tool)
{
    while (m_toolByCallID.size() >= kToolHistoryCap)
        m_toolByCallID.pop_front();
    m_toolByCallID.emplace_back(callID, tool);
}

const ToolDetail* OpenCodeAdapter::rememberedTool(const std::string& callID) const
{
    for (auto it = m_toolByCallID.rbegin(); it != m_toolByCallID.rend(); ++it) {
        if (it->first == callID)
            return &it->second;
    }
    return nullptr;
}

void OpenCodeAdapter::upsertSession(const OpenCodeUpdate::Upsert& update, const std::string& id,
                                    pid_t serverPID)
{
    if (m_store.session(id)) {
        if (update.cwd)
            m_store.update(id, [&](Session& s) { s.cwd = *update.cwd; });
        return;
    }
    Session session;
    session.id = id;
    session.agent = AgentKind::opencode;
    session.cwd = update.cwd.value_or("unknown");
    session.status = SessionStatus::Idle{};
    if (update.title)
        session.lastActivity = ToolText::activityLine(*update.title);
    session.startedAt = session.updatedAt = m_services.clock.now();
    session.terminal.ownerPID = serverPID;
    m_store.upsert(std::move(session));
    bindTerminal(id, serverPID);
}

// Finding the server's terminal application walks /proc and asks the X server: on a worker.
void OpenCodeAdapter::bindTerminal(const std::string& id, pid_t serverPID)
{
    const TerminalBinder* binder = m_services.terminalBinder;
    if (!binder)
        return;
    runOnWorker<std::optional<RunningApp>>(
        this, [binder, serverPID] { return binder->resolveApp(serverPID); },
        [this, id](std::optional<RunningApp> app) {
            const Session* session = m_store.session(id);
            if (!app || !session || session->terminal.appName)
                return;
            m_store.update(id, [&](Session& s) {
                s.terminal.appName = app->localizedName;
                s.terminal.bundleID = app->identifier;
            });
        },
        m_services.workers);
}

void OpenCodeAdapter::markIdle(const std::string& id)
{
    const Session* session = m_store.session(id);
    if (!session || isWaiting(*session))
        return;
    std::optional<std::string> summary;
    if (const auto text = m_lastText.find(id); text != m_lastText.end())
        summary = doneSummary(text->second);
    m_store.update(id, [&](Session& s) { s.status = SessionStatus::Done{summary}; });
}

void OpenCodeAdapter::apply(const OpenCodeUpdate& update, const std::string& serverBase, pid_t serverPID,
                            OpenCodeApi api)
{
    const std::string id = sessionKey(update.sessionID());
    if (const auto* upsert = update.as<OpenCodeUpdate::Upsert>()) {
        m_sessionServer[id] = serverBase;
        upsertSession(*upsert, id, serverPID);
    } else if (update.as<OpenCodeUpdate::Idle>()) {
        markIdle(id);
    } else if (update.as<OpenCodeUpdate::Busy>()) {
        m_store.update(id, [](Session& s) {
            if (!isWaiting(s) && !s.status.is<SessionStatus::Working>())
                s.status = SessionStatus::Working{};
        });
    } else if (update.as<OpenCodeUpdate::Removed>()) {
        forget(id);
        m_store.remove(id);
    } else if (const auto* tool = update.as<OpenCodeUpdate::ToolActivity>()) {
        // Nothing is remembered for a session the store does not hold: a server could name any.
        if (tool->tool && tool->callID && m_store.session(id)) {
            rememberTool(*tool->callID, *tool->tool);
            refreshHeldTool(id, *tool->callID, *tool->tool);
        }
        m_store.update(id, [&](Session& s) {
            if (isWaiting(s))
                return;
            s.status = SessionStatus::Working{tool->activity};
            s.lastActivity = tool->activity;
        });
    } else if (const auto* text = update.as<OpenCodeUpdate::AssistantText>()) {
        if (m_store.session(id))
            m_lastText[id] = ToolText::truncated(text->text, kLastTextCharacters, kLastTextCharacters, "");
    } else if (const auto* context = update.as<OpenCodeUpdate::Context>()) {
        const std::int64_t limit = m_contextLimits.limit(context->model, context->tokens);
        m_store.update(id, [&](Session& s) {
            s.context = ContextUsage{context->tokens, limit, context->model};
        });
    } else if (const auto* permission = update.as<OpenCodeUpdate::PermissionAsked>()) {
        m_sessionServer[id] = serverBase;
        upsertSession(OpenCodeUpdate::Upsert{update.sessionID(), std::nullopt, std::nullopt}, id, serverPID);
        askPermission(*permission, id, api);
    } else if (const auto* question = update.as<OpenCodeUpdate::QuestionAsked>()) {
        m_sessionServer[id] = serverBase;
        upsertSession(OpenCodeUpdate::Upsert{update.sessionID(), std::nullopt, std::nullopt}, id, serverPID);
        m_pending[id] = PendingPrompt{question->requestID, true, question->inquiry, api, std::nullopt};
        m_store.update(id, [&](Session& s) {
            s.status = SessionStatus::WaitingForInput{question->inquiry};
            s.lastActivity = question->inquiry.questions.empty()
                                 ? std::nullopt
                                 : std::optional<std::string>(question->inquiry.questions.front().question);
        });
    } else if (const auto* resolved = update.as<OpenCodeUpdate::Resolved>()) {
        const auto held = m_pending.find(id);
        if (held != m_pending.end()) {
            if (resolved->requestID && *resolved->requestID != held->second.requestID)
                return;
            m_pending.erase(held);
        }
        m_store.update(id, [](Session& s) {
            if (!isWaiting(s))
                return;
            s.status = SessionStatus::Idle{};
            s.lastActivity = "Resolved";
        });
    }
}

// A call's input often arrives only after the permission that it caused ("pending" parts carry an
// empty input): the held request then shows the complete call, so the user sees what is allowed.
void OpenCodeAdapter::refreshHeldTool(const std::string& id, const std::string& callID,
                                      const ToolDetail& tool)
{
    const auto held = m_pending.find(id);
    if (held == m_pending.end() || held->second.isQuestion || held->second.callID != callID)
        return;
    m_store.update(id, [&](Session& s) {
        const auto* asked = s.status.as<SessionStatus::NeedsPermission>();
        if (!asked || asked->request.tool == tool)
            return;
        PermissionRequest request = asked->request;
        request.toolName = request.summary = tool.title();
        request.tool = tool;
        s.status = SessionStatus::NeedsPermission{request};
        s.lastActivity = request.summary;
    });
}

void OpenCodeAdapter::askPermission(const OpenCodeUpdate::PermissionAsked& update, const std::string& id,
                                    OpenCodeApi api)
{
    if (m_autoApprove.contains(id)) {
        autoApprove(id, update.requestID, api);
        return;
    }
    m_pending[id] = PendingPrompt{update.requestID, false, std::nullopt, api, update.callID};
    const ToolDetail* tool = update.callID ? rememberedTool(*update.callID) : nullptr;
    PermissionRequest request;
    request.toolName = tool ? tool->title() : "a tool";
    request.summary = tool ? tool->title() : update.title;
    if (tool)
        request.tool = *tool;
    request.supportsAlwaysAllow = false;
    m_store.update(id, [&](Session& s) {
        s.status = SessionStatus::NeedsPermission{request};
        s.lastActivity = request.summary;
    });
}

} // namespace velquist
