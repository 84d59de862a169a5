#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace velquist {

// Timers on the main thread. Production uses Qt timers; tests use a manual scheduler that runs
// due callbacks when the test advances time.
class Scheduler
{
  public:
    using Callback = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~Scheduler() = default;
    // Runs `callback` once, `delay` from now. Ids are never 0 and never reused.
    virtual TimerId schedule(std::chrono::milliseconds delay, Callback callback) = 0;
    // Runs `callback` every `interval` until cancelled.
    virtual TimerId scheduleRepeating(std::chrono::milliseconds interval, Callback callback) = 0;
    // Stops a timer; an unknown, fired or cancelled id is ignored.
    virtual void cancel(TimerId id) = 0;
    // Whether the timer is still due to fire.
    virtual bool isScheduled(TimerId id) const = 0;
};

// Owns one timer of a scheduler and cancels it when replaced or destroyed, so a callback never
// outlives the object that armed it.
class ScheduledTimer
{
  public:
    ScheduledTimer() = default;
    ScheduledTimer(Scheduler& scheduler, Scheduler::TimerId id) : m_scheduler(&scheduler), m_id(id) {}
    ScheduledTimer(const ScheduledTimer&) = delete;
    ScheduledTimer& operator=(const ScheduledTimer&) = delete;
    ScheduledTimer(ScheduledTimer&& other) noexcept { *this = std::move(other); }
    ScheduledTimer& operator=(ScheduledTimer&& other) noexcept
    {
        if (this != &other) {
            cancel();
            m_scheduler = other.m_scheduler;
            m_id = other.m_id;
            other.m_scheduler = nullptr;
            other.m_id = 0;
        }
        return *this;
    }
    ~ScheduledTimer() { cancel(); }

    void cancel()
    {
        if (m_scheduler && m_id)
            m_scheduler->cancel(m_id);
        m_scheduler = nullptr;
        m_id = 0;
    }
    bool isActive() const { return m_scheduler && m_id && m_scheduler->isScheduled(m_id); }

  private:
    Scheduler* m_scheduler = nullptr;
    Scheduler::TimerId m_id = 0;
};

} // namespace velquist
