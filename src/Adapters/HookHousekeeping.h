#pragma once

#include "Adapters/AgentEngine.h"
#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <QObject>
#include <chrono>
#include <map>
#include <string>

class QThreadPool;

namespace velquist {

class EngineProfile;
struct Session;
class SessionStore;

// The timers of one hook adapter: a working session of an agent that sends no stop event is done
// after a quiet while, an ended session goes a moment later, and every minute the agent's stale
// sessions are swept and, every tenth time, its hooks are checked and put back. Main thread only.
class HookHousekeeping final : public QObject
{
  public:
    // What the timers act on: the adapter.
    class Owner
    {
      public:
        virtual ~Owner() = default;
        // A working session has been quiet for `kIdleDoneDelay`.
        virtual void idleDone(const std::string& key) = 0;
        // A stale session is about to be removed: let go of everything kept for it.
        virtual void forgetSession(const std::string& key) = 0;
    };

    struct Services
    {
        Clock& clock;
        Scheduler& scheduler;
        // Where the agent's configuration is read; none uses Qt's global pool.
        QThreadPool* workers = nullptr;
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

    // `store`, `profile` and `owner` must outlive the housekeeping.
    HookHousekeeping(SessionStore& store, AgentEngine engine, const EngineProfile& profile, Services services,
                     Owner& owner);
    ~HookHousekeeping() override;

    // Starts the minute's tick.
    void start();
    // Stops every timer.
    void stop();
    bool isStarted() const { return m_tick.isActive(); }

    // Arms the session's idle-done timer afresh while it works, for an agent that infers done;
    // otherwise drops it.
    void armIdleDoneIfNeeded(const std::string& key);
    bool hasIdleDoneTimer(const std::string& key) const;
    // The ended session is removed after `kEndedRemovalDelay`, unless an event brought it back.
    void scheduleEndedRemoval(const std::string& key);
    // Drops the session's timers.
    void forget(const std::string& key);

    // Whether a session counts as stale at `now`: not updated for `kStaleSessionAge`, or its owning
    // process is gone.
    static bool isStale(const Session& session, Clock::WallTime now);

  private:
    struct Timers
    {
        ScheduledTimer idleDone;
        ScheduledTimer endedRemoval;
    };

    void tick();
    void idleDelayPassed(const std::string& key);
    void removeIfStillEnded(const std::string& key);
    void removeStaleSessions();
    void healHooksIfNeeded();
    void disarm(const std::string& key, ScheduledTimer Timers::*timer);

    SessionStore& m_store;
    const AgentEngine m_engine;
    const EngineProfile& m_profile;
    const Services m_services;
    Owner& m_owner;
    ScheduledTimer m_tick;
    int m_ticks = 0;
    bool m_healing = false;
    std::map<std::string, Timers> m_timers;
};

} // namespace velquist
