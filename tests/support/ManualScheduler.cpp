#include "support/ManualScheduler.h"

namespace velquist::test {

ManualScheduler::ManualScheduler()
    : m_wall(std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000))),
      m_monotonic(std::chrono::steady_clock::time_point(std::chrono::hours(1000)))
{
}

Scheduler::TimerId ManualScheduler::schedule(std::chrono::milliseconds delay, Callback callback)
{
    const TimerId id = m_nextId++;
    m_timers.emplace(id, Timer{m_elapsed + std::max(delay, std::chrono::milliseconds(0)),
                               std::chrono::milliseconds(0), std::move(callback)});
    return id;
}

Scheduler::TimerId ManualScheduler::scheduleRepeating(std::chrono::milliseconds interval, Callback callback)
{
    const TimerId id = m_nextId++;
    const auto step = std::max(interval, std::chrono::milliseconds(1));
    m_timers.emplace(id, Timer{m_elapsed + step, step, std::move(callback)});
    return id;
}

void ManualScheduler::cancel(TimerId id)
{
    m_timers.erase(id);
}

bool ManualScheduler::isScheduled(TimerId id) const
{
    return m_timers.count(id) != 0;
}

void ManualScheduler::advance(std::chrono::milliseconds step)
{
    const auto target = m_elapsed + step;
    for (;;) {
        // The earliest due timer; ids break ties, so earlier schedules run first.
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due <= target && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_timers.end())
            break;
        const auto moved = next->second.due - m_elapsed;
        m_elapsed = next->second.due;
        m_wall += moved;
        m_monotonic = m_monotonic.load() + moved;
        Callback callback = next->second.callback;
        if (next->second.interval.count() == 0)
            m_timers.erase(next);
        else
            next->second.due += next->second.interval;
        callback();
    }
    const auto rest = target - m_elapsed;
    m_elapsed = target;
    m_wall += rest;
    m_monotonic = m_monotonic.load() + rest;
}

} // namespace velquist::test
