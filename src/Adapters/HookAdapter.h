#pragma once

#include "Actions/DecisionResolver.h"
#include "Adapters/AgentEngine.h"
#include "Adapters/DecisionDesk.h"
#include "Adapters/HookHousekeeping.h"
#include "Core/Scheduler.h"
#include "Core/Session.h"
#include "Ingestion/ContextLimits.h"
#include "Ingestion/HookEvent.h"
#include "Ingestion/TranscriptSnapshot.h"

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

class QThreadPool;

namespace velquist {

class ActionDispatcher;
class Clock;
class EngineProfile;
class FileWatcher;
class SessionStore;
class TerminalBinder;
class TranscriptTailer;

// Turns one hook-driven agent's events into changes of its sessions in the store, and holds the
// permission requests its hook clients wait on until the user decides, the agent settles them
// itself, or the client goes away. One adapter per agent; main thread only.
class HookAdapter final : public QObject, public DecisionResolver, private HookHousekeeping::Owner
{
    Q_OBJECT
  public:
    // What every adapter shares with the rest of the application; all must outlive the adapter.
    struct Services
    {
        Clock& clock;
        Scheduler& scheduler;
        // Change notices for the transcript tailers.
        FileWatcher& transcriptWatcher;
        // The adapter registers itself here as its agent's decision channel.
        ActionDispatcher& dispatcher;
        // Binds sessions to their terminal application; none leaves bindings as the hooks sent them.
        const TerminalBinder* terminalBinder = nullptr;
        // Where terminals are looked up and agent configurations read; none uses Qt's global pool.
        QThreadPool* workers = nullptr;
        // Claude Code's context windows, for its own adapter only; without them a session's window
        // is the default one unless it used more.
        std::optional<ContextLimits> contextLimits = std::nullopt;
    };

    // Starts nothing.
    HookAdapter(SessionStore& store, AgentEngine engine, std::unique_ptr<const EngineProfile> profile,
                Services services, QObject* parent = nullptr);
    ~HookAdapter() override;

    // Registers the adapter as its agent's decision resolver and starts the 60-second housekeeping.
    void start();
    // Stops every tailer and timer and withdraws the resolver. Held requests stay held.
    void stop();
    // After the store restored its saved sessions: a session of this agent that was working when
    // the application quit is idle now, and its transcript is followed again.
    void resumeRestoredSessions();

    // Every event except a permission request whose hook client waits.
    void apply(const HookEvent& event);
    // A permission request whose sender waits for the answer.
    void receive(std::shared_ptr<DecisionReply> decision);

    // Sends the user's decision to the request the session holds. False when none is held, no
    // answer can be built from the action, or the reply could not be delivered; the request then
    // stays as it was (or is let go, when its client has gone).
    bool resolveDecision(const ControlAction& action, const std::string& sessionID) override;

    // Lets go of a session's held request without a reply; its hook client falls back on the
    // agent's own prompt.
    void cancelPendingDecision(const std::string& sessionID);
    // Folds what a tailer learned from a session's transcript into the session.
    void applyTranscript(const TranscriptSnapshot& snapshot, const std::string& sessionID);

    // The "always" grant: the agent's own permission suggestions, each to be stored in its local
    // settings. None for another scope or when the agent suggested nothing usable.
    static std::optional<nlohmann::json> grantRules(const HookEvent& event, GrantScope scope);
    // The question tool's input carrying the user's answers; none when the selections do not fit.
    static std::optional<nlohmann::json> answerInput(const HookEvent& event,
                                                     const std::vector<std::vector<int>>& selections);

    const AgentEngine& engine() const { return m_engine; }
    const EngineProfile& profile() const { return *m_profile; }
    // "<namespace>:<agent's session id>".
    std::string sessionKey(const std::string& agentSessionID) const;

    // For tests and the gateway's shutdown.
    bool holdsDecision(const std::string& sessionID) const;
    bool hasTailer(const std::string& sessionID) const;
    bool hasIdleDoneTimer(const std::string& sessionID) const;
    bool isStarted() const { return m_housekeeping.isStarted(); }

  private:
    // What the previous snapshot of a session's transcript said about tool results.
    struct TranscriptProgress
    {
        std::int64_t generation = 0;
        std::int64_t toolResults = 0;
        std::int64_t unattributedToolResults = 0;
        std::map<std::string, std::int64_t> toolResultsByName;
    };
    // Everything the adapter keeps for one session besides its held request and its timers,
    // dropped in one piece when the session ends or is swept.
    struct SessionRecord
    {
        std::unique_ptr<TranscriptTailer> tailer;
        // None until the first snapshot set the count to grow from.
        std::optional<TranscriptProgress> progress;
        std::int64_t contextMaxTokens = 0;
        std::optional<std::string> lastAssistantText;
        // The last plan the agent announced, as it wrote it.
        std::optional<std::string> verbatimPlan;
        // A lookup of the session's terminal application is under way.
        bool bindingTerminal = false;
    };

    void idleDone(const std::string& key) override;
    void forgetSession(const std::string& key) override;

    void ensureSession(const HookEvent& event);
    void bindTerminal(const std::string& key, const std::vector<int>& ancestorPIDs);
    void ensureTailer(const HookEvent& event);
    void startTailer(const std::string& key, const std::string& path);
    void settleHeldTool(const std::string& key, const HookEvent& finished);
    void endSession(const std::string& key);
    void holdRequest(const std::string& key, std::shared_ptr<DecisionReply> decision);
    void hungUp(const std::string& key, const HookEvent& request, const SessionStatus& before);
    bool heldToolSettled(const std::string& key, const TranscriptSnapshot& snapshot,
                         const TranscriptProgress& previous);
    std::int64_t contextLimit(const TranscriptSnapshot& snapshot, std::int64_t maximum);
    void inspectWriteTarget(const std::string& key, const ToolDetail& tool);
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput = std::nullopt,
                            const std::optional<nlohmann::json>& updatedPermissions = std::nullopt) const;
    std::string encodeDeny(const std::string& message) const;

    SessionStore& m_store;
    const AgentEngine m_engine;
    const std::unique_ptr<const EngineProfile> m_profile;
    const Services m_services;
    std::optional<ContextLimits> m_contextLimits;
    std::map<std::string, SessionRecord> m_records;
    DecisionDesk m_desk;
    HookHousekeeping m_housekeeping;
};

} // namespace velquist
