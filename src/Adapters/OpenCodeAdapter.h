#pragma once

#include "Actions/DecisionResolver.h"
#include "Adapters/AgentEngine.h"
#include "Adapters/OpenCodeDiscovery.h"
#include "Adapters/OpenCodeUpdate.h"
#include "Core/Scheduler.h"
#include "Ingestion/ContextLimits.h"

#include <QObject>
#include <QUrl>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QNetworkAccessManager;
class QNetworkRequest;
class QThreadPool;

namespace velquist {

class ActionDispatcher;
class Clock;
class OpenCodeEventStream;
class SessionStore;
class TerminalBinder;

// Follows every running OpenCode server: finds them in the process and socket tables every
// 5 seconds, keeps both of each server's event streams open, turns their events into sessions in
// the store and holds the permission and question requests OpenCode raises until the user answers
// them in the panel. It is the decision channel of the agent kind `opencode`. Main thread.
class OpenCodeAdapter final : public QObject, public DecisionResolver
{
    Q_OBJECT
  public:
    // Lists the running servers; runs on a worker. None when the tables could not be read.
    using ServerFinder = std::function<std::optional<std::vector<OpenCodeServer>>()>;

    struct Services
    {
        Clock& clock;
        Scheduler& scheduler;
        // The adapter registers itself here on start.
        ActionDispatcher& dispatcher;
        // Binds a new session to the terminal application its server runs in; none leaves it unbound.
        const TerminalBinder* terminalBinder = nullptr;
        // The Claude settings file, whose model names the extended context family.
        std::filesystem::path claudeSettings;
        // Defaults to reading /proc.
        ServerFinder findServers;
        // Where discovery runs; none uses Qt's global pool.
        QThreadPool* workers = nullptr;
    };

    static constexpr std::chrono::milliseconds kDiscoveryInterval{5000};
    static constexpr std::chrono::milliseconds kReplyTimeout{60000};
    static constexpr std::size_t kToolHistoryCap = 256;

    // Starts nothing.
    OpenCodeAdapter(SessionStore& store, Services services, QObject* parent = nullptr);
    ~OpenCodeAdapter() override;

    // Registers the resolver, discovers at once and then every 5 seconds.
    void start();
    // Stops discovery and every stream. Sessions, held requests and the registration stay.
    void stop();
    // One discovery pass on a worker, unless one is still running.
    void discover();
    // What a discovery pass found: opens streams to new servers, closes those of servers gone and
    // removes their sessions.
    void reconcile(const std::vector<OpenCodeServer>& servers);
    // One parsed event from a server's stream.
    void apply(const OpenCodeUpdate& update, const std::string& serverBase, pid_t serverPID, OpenCodeApi api);

    // Sends the user's decision to the server that raised the session's held request. True when a
    // reply was started; the request stays held until the server accepts it.
    bool resolveDecision(const ControlAction& action, const std::string& sessionID) override;

    const AgentEngine& engine() const { return m_engine; }
    // "opencode:<OpenCode's session id>".
    std::string sessionKey(const std::string& openCodeSessionID) const;

    // For tests.
    bool isStopped() const { return m_stopped; }
    bool isDiscovering() const { return m_scanRunning; }
    std::vector<std::string> serverBases() const;
    const OpenCodeEventStream* stream(const std::string& serverBase, OpenCodeApi api) const;
    bool holdsRequest(const std::string& sessionID) const { return m_pending.contains(sessionID); }
    bool hasSessionGrant(const std::string& sessionID) const { return m_autoApprove.contains(sessionID); }
    std::size_t rememberedToolCount() const { return m_toolByCallID.size(); }
    std::size_t rememberedTextCount() const { return m_lastText.size(); }

    // The reply that answers a held request, built without sending it.
    struct Reply
    {
        QUrl url;
        std::string body;
        std::string note; // the session's activity text once the server accepted it
    };
    struct PendingPrompt
    {
        std::string requestID;
        bool isQuestion = false;
        std::optional<AgentInquiry> inquiry;
        OpenCodeApi api = OpenCodeApi::v2;
        // The tool call a permission is about, when the server named it.
        std::optional<std::string> callID;
    };
    // None when the action does not fit the request (or its answer cannot be built).
    static std::optional<Reply> buildReply(const ControlAction& action, const PendingPrompt& prompt,
                                           const std::string& serverBase, const std::string& sessionID);
    // The permission reply URL, or the question one; the session id is ours ("opencode:<id>").
    static QUrl replyURL(const std::string& serverBase, OpenCodeApi api, bool isQuestion,
                         const std::string& sessionID, const std::string& requestID);
    // The option labels of the chosen indexes, one list per question; none when they do not fit.
    static std::optional<std::vector<std::vector<std::string>>>
    answerLabels(const std::optional<AgentInquiry>& inquiry, const std::vector<std::vector<int>>& selections);

  private:
    struct ServerLink
    {
        pid_t pid = 0;
        std::unique_ptr<OpenCodeEventStream> original;
        std::unique_ptr<OpenCodeEventStream> v2;
    };

    void openStreams(const OpenCodeServer& server);
    std::unique_ptr<OpenCodeEventStream> makeStream(const std::string& base, pid_t pid, OpenCodeApi api);
    void dropSessions(const std::string& serverBase);
    void forget(const std::string& id);
    void rememberTool(const std::string& callID, const ToolDetail& tool);
    const ToolDetail* rememberedTool(const std::string& callID) const;
    void upsertSession(const OpenCodeUpdate::Upsert& update, const std::string& id, pid_t serverPID);
    void bindTerminal(const std::string& id, pid_t serverPID);
    void markIdle(const std::string& id);
    // Shows `tool` in the held permission request of its call.
    void refreshHeldTool(const std::string& id, const std::string& callID, const ToolDetail& tool);
    void askPermission(const OpenCodeUpdate::PermissionAsked& update, const std::string& id, OpenCodeApi api);
    void autoApprove(const std::string& id, const std::string& requestID, OpenCodeApi api);
    // Posts `body` to `url` for the session (ours, "opencode:<id>"); `done` gets whether the
    // server took it (2xx), on the main thread.
    void post(const QUrl& url, const std::string& body, const std::string& sessionID,
              std::function<void(bool)> done);

    SessionStore& m_store;
    Services m_services;
    const AgentEngine m_engine;
    std::unique_ptr<QNetworkAccessManager> m_network;
    ScheduledTimer m_discoveryTimer;
    std::map<std::string, ServerLink> m_servers;
    std::map<std::string, std::string> m_sessionServer;
    std::deque<std::pair<std::string, ToolDetail>> m_toolByCallID;
    std::map<std::string, std::string> m_lastText;
    std::set<std::string> m_autoApprove;
    std::map<std::string, PendingPrompt> m_pending;
    ContextLimits m_contextLimits;
    bool m_scanRunning = false;
    bool m_stopped = false;
};

} // namespace velquist
