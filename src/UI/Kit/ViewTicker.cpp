#include "UI/Kit/ViewTicker.h"

#include <vector>

namespace velquist {

struct ViewTicker::Subscription::State
{
    State(Scheduler& s, const Clock& c) : scheduler(s), clock(c) {}

    Scheduler& scheduler;
    const Clock& clock;
    struct Channel
    {
        std::map<std::uint64_t, std::function<void()>> listeners;
        ScheduledTimer timer;
    };
    Channel frame;
    Channel step;
    Channel minute;
    std::uint64_t nextId = 1;

    Channel& channel(Period period)
    {
        switch (period) {
        case Period::frame:
            return frame;
        case Period::step:
            return step;
        case Period::minute:
            break;
        }
        return minute;
    }

    void start(Period period)
    {
        if (period == Period::frame || period == Period::step) {
            const auto interval = period == Period::frame ? kFrameInterval : kStepInterval;
            channel(period).timer = ScheduledTimer(
                scheduler, scheduler.scheduleRepeating(interval, [this, period] { fire(period); }));
        } else {
            armMinute();
        }
    }

    // Re-armed at each boundary from the wall clock, so the pills turn over on the minute even
    // when a timer fires late.
    void armMinute()
    {
        using namespace std::chrono;
        const auto sinceEpoch = duration_cast<milliseconds>(clock.now().time_since_epoch()).count();
        const auto intoMinute = ((sinceEpoch % 60000) + 60000) % 60000;
        minute.timer = ScheduledTimer(scheduler, scheduler.schedule(milliseconds(60000 - intoMinute), [this] {
            armMinute();
            fire(Period::minute);
        }));
    }

    void fire(Period period)
    {
        // A listener may end its own or another subscription while it runs.
        Channel& c = channel(period);
        std::vector<std::uint64_t> ids;
        ids.reserve(c.listeners.size());
        for (const auto& [id, listener] : c.listeners)
            ids.push_back(id);
        for (const std::uint64_t id : ids) {
            const auto it = c.listeners.find(id);
            if (it == c.listeners.end())
                continue;
            const std::function<void()> listener = it->second;
            listener();
        }
    }

    void remove(Period period, std::uint64_t id)
    {
        Channel& c = channel(period);
        c.listeners.erase(id);
        if (c.listeners.empty())
            c.timer.cancel();
    }
};

ViewTicker::Subscription& ViewTicker::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        reset();
        m_owner = std::move(other.m_owner);
        m_period = other.m_period;
        m_id = other.m_id;
        other.m_owner.reset();
        other.m_id = 0;
    }
    return *this;
}

void ViewTicker::Subscription::reset()
{
    if (const auto owner = m_owner.lock(); owner && m_id != 0)
        owner->remove(m_period, m_id);
    m_owner.reset();
    m_id = 0;
}

ViewTicker::ViewTicker(Scheduler& scheduler, const Clock& clock)
    : m_state(std::make_shared<Subscription::State>(scheduler, clock))
{
}

ViewTicker::~ViewTicker() = default;

const Clock& ViewTicker::clock() const
{
    return m_state->clock;
}

ViewTicker::Subscription ViewTicker::subscribe(Period period, std::function<void()> onTick)
{
    auto& channel = m_state->channel(period);
    const std::uint64_t id = m_state->nextId++;
    const bool first = channel.listeners.empty();
    channel.listeners.emplace(id, std::move(onTick));
    if (first)
        m_state->start(period);
    return Subscription(m_state, period, id);
}

bool ViewTicker::isRunning(Period period) const
{
    return m_state->channel(period).timer.isActive();
}

} // namespace velquist
