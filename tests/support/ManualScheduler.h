#pragma once

#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <atomic>
#include <map>
#include <utility>

namespace velquist::test {

// A clock and scheduler that only move when the test advances them. Due timers run in time order
// (ties in the order they were scheduled); callbacks may schedule and cancel timers themselves.
class ManualScheduler final : public Clock, public Scheduler
{
  public:
    ManualScheduler();

    WallTime now() const override { return m_wall; }
    // Readable from any thread, for the threads that keep deadlines of their own.
    Monotonic monotonic() const override { return m_monotonic.load(); }

    TimerId schedule(std::chrono::milliseconds delay, Callback callback) override;
    TimerId scheduleRepeating(std::chrono::milliseconds interval, Callback callback) override;
    void cancel(TimerId id) override;
    bool isScheduled(TimerId id) const override;

    // Moves time forward by `step`, running every timer that falls due on the way.
    void advance(std::chrono::milliseconds step);
    // Sets the calendar time without running timers (for dates stored in records).
    void setWallTime(WallTime time) { m_wall = time; }

    std::size_t pendingCount() const { return m_timers.size(); }

  private:
    struct Timer
    {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval; // zero for a one-shot
        Callback callback;
    };

    std::chrono::milliseconds m_elapsed{0};
    WallTime m_wall;
    std::atomic<Monotonic> m_monotonic;
    TimerId m_nextId = 1;
    std::map<TimerId, Timer> m_timers;
};

} // namespace velquist::test
