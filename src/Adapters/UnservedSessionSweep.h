#pragma once

#include "Core/Scheduler.h"

#include <set>
#include <string>

namespace velquist {

class Clock;
class SessionStore;

// Sweeps the stale sessions of agents that no adapter serves in this run: sessions restored from
// a run in which the agent was followed, with nobody left to see them end. Stale as an adapter's
// own sweep sees it; every minute, like it. Main thread only.
class UnservedSessionSweep
{
  public:
    // `served` holds the id namespaces whose adapters sweep their own sessions; the store, clock
    // and scheduler must outlive the sweep.
    UnservedSessionSweep(SessionStore& store, Clock& clock, Scheduler& scheduler,
                         std::set<std::string> served);

    void start();
    void stop();
    // Removes the stale sessions of the agents that are not served.
    void sweep();

  private:
    SessionStore& m_store;
    Clock& m_clock;
    Scheduler& m_scheduler;
    const std::set<std::string> m_served;
    ScheduledTimer m_tick;
};

} // namespace velquist
