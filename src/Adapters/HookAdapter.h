#pragma once

#include "Actions/DecisionResolver.h"
#include "Adapters/AgentEngine.h"
#include "Core/Scheduler.h"
#include "Core/Session.h"
#include "Ingestion/ContextLimits.h"
#include "Ingestion/HookEvent.h"
#include "Ingestion/TranscriptSnapshot.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

class ActionDispatcher;
class Clock;
class EngineProfile;
class FileWatcher;
class PendingDecision;
class SessionStore;
class TerminalBinder;
class TranscriptTailer;

// Turns one hook-driven agent's events into changes of its sessions in the store, and holds the
// permission requests its hook clients wait on until the user decides, the agent settles them
// itself, or the client goes away. One adapter per agent; main thread only.
class HookAdapter final : public QObject, public DecisionResolver
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
    };

    // A working session of an agent that sends no stop event counts as done after this quiet time.
    static constexpr std::chrono::milliseconds kIdleDoneDelay{25'000};
    // A session not updated for this long is swept.
    static constexpr std::chrono::hours kStaleSessionAge{6};
    static constexpr std::chrono::milliseconds kCleanupInterval{60'000};
    // Hooks are checked (and reinstalled) on every tenth housekeeping tick.
    static constexpr int kHealEveryTicks = 10;
    // An ended session stays visible this long.
    static constexpr std::chrono::milliseconds kEndedRemovalDelay{2000};

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
    // A permission request whose hook client waits for the answer.
    void receive(std::shared_ptr<PendingDecision> decision);

    // Sends the user's decision to the request the session holds. False when none is held, no
    // answer can be built from the action, or the reply could not be delivered; the request then
    // stays as it was (or is let go, when its client has gone).
    bool resolveDecision(const ControlAction& action, const std::string& sessionID) override;

    // Lets go of a session's held request without a reply; its hook client falls back on the
    // agent's own prompt.
    void cancelPendingDecision(const std::string& sessionID);
    // Shows the request of `event` in its session, as a permission request or a question.
    void applyPermissionState(const HookEvent& event);
    // Folds what a tailer learned from a session's transcript into the session.
    void applyTranscript(const TranscriptSnapshot& snapshot, const std::string& sessionID);

    // The "always" grant: the agent's own permission suggestions, each to be stored in its local
    // settings. None for another scope or when the agent suggested nothing usable.
    static std::optional<nlohmann::json> grantRules(const HookEvent& event, GrantScope scope);
    // The question tool's input carrying the user's answers; none when the selections do not fit.
    static std::optional<nlohmann::json> answerInput(const HookEvent& event,
                                                     const std::vector<std::vector<int>>& selections);
    // The tool a permission notification names: the first word after " to use ", its punctuation
    // trimmed (possibly empty); none without the phrase or a word after it.
    static std::optional<std::string> toolName(std::string_view permissionMessage);

    const AgentEngine& engine() const { return m_engine; }
    const EngineProfile& profile() const { return *m_profile; }
    // "<namespace>:<agent's session id>".
    std::string sessionKey(const std::string& agentSessionID) const;

    // For tests and the gateway's shutdown.
    bool holdsDecision(const std::string& sessionID) const;
    bool hasTailer(const std::string& sessionID) const;
    bool hasIdleDoneTimer(const std::string& sessionID) const;
    bool isStarted() const { return m_cleanupTimer.isActive(); }

  private:
    // What the previous snapshot of a session's transcript said about tool results.
    struct TranscriptProgress
    {
        std::int64_t generation = 0;
        std::int64_t toolResults = 0;
        std::int64_t unattributedToolResults = 0;
        std::map<std::string, std::int64_t> toolResultsByName;
    };

    // The inquiry when the event's tool is the agent asking the user.
    static const AgentInquiry* question(const HookEvent& event);
    // A done session's summary: the agent's last text on one line, cut to 120 characters.
    static std::string doneSummary(std::string_view text);
    void showQuestion(const std::string& key, const AgentInquiry& inquiry);
    void showWorking(const std::string& key, const std::optional<std::string>& activity);
    void ensureSession(const HookEvent& event);
    void ensureTailer(const HookEvent& event);
    void startTailer(const std::string& key, const std::string& path);
    bool recordSubagentActivity(const HookEvent& event);
    void applyPreToolUse(const HookEvent& event);
    void applyPostToolUse(const HookEvent& event);
    void applyNotification(const HookEvent& event);
    void endSession(const std::string& key);
    void removeIfStillEnded(const std::string& key);
    void armIdleDoneIfNeeded(const std::string& key);
    void markIdleSessionDone(const std::string& key);
    void housekeeping();
    void removeStaleSessions();
    void healHooksIfNeeded();
    void forgetSession(const std::string& key);
    void resolveTerminalApp(TerminalBinding& binding, const std::vector<int>& ancestorPIDs) const;
    bool heldToolSettled(const std::string& key, const TranscriptSnapshot& snapshot,
                         const TranscriptProgress& previous) const;
    void inspectWriteTarget(const std::string& key, const ToolDetail& tool);
    void hold(const std::string& key, std::shared_ptr<PendingDecision> decision);
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput = std::nullopt,
                            const std::optional<nlohmann::json>& updatedPermissions = std::nullopt) const;
    std::string encodeDeny(const std::string& message) const;
    bool supportsAlwaysAllow(const HookEvent& event) const;

    SessionStore& m_store;
    const AgentEngine m_engine;
    const std::unique_ptr<const EngineProfile> m_profile;
    const Services m_services;
    std::map<std::string, std::unique_ptr<TranscriptTailer>> m_tailers;
    ScheduledTimer m_cleanupTimer;
    std::map<std::string, std::shared_ptr<PendingDecision>> m_pendingDecisions;
    std::map<std::string, ScheduledTimer> m_idleDoneTimers;
    std::map<std::string, ScheduledTimer> m_endedRemovals;
    std::map<std::string, std::string> m_lastAssistantText;
    std::map<std::string, std::string> m_verbatimPlans;
    int m_cleanupTicks = 0;
    std::map<std::string, TranscriptProgress> m_transcriptProgress;
    std::map<std::string, std::int64_t> m_contextMaxTokens;
    ContextLimits m_contextLimits;
};

} // namespace velquist
