#include "Core/QtScheduler.h"

#include <QTimer>

namespace velquist {

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {}

QtScheduler::~QtScheduler()
{
    for (auto& [id, timer] : m_timers)
        delete timer;
}

Scheduler::TimerId QtScheduler::schedule(std::chrono::milliseconds delay, Callback callback)
{
    return start(delay, false, std::move(callback));
}

Scheduler::TimerId QtScheduler::scheduleRepeating(std::chrono::milliseconds interval, Callback callback)
{
    return start(interval, true, std::move(callback));
}

Scheduler::TimerId QtScheduler::start(std::chrono::milliseconds delay, bool repeating, Callback callback)
{
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(!repeating);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, repeating, callback = std::move(callback)] {
        if (!repeating) {
            // Forget the timer before running the callback, which may schedule or cancel others.
            auto found = m_timers.find(id);
            if (found == m_timers.end())
                return;
            found->second->deleteLater();
            m_timers.erase(found);
        }
        callback();
    });
    m_timers.emplace(id, timer);
    timer->start(std::max<std::chrono::milliseconds>(delay, std::chrono::milliseconds(0)));
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    auto found = m_timers.find(id);
    if (found == m_timers.end())
        return;
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
}

bool QtScheduler::isScheduled(TimerId id) const
{
    return m_timers.count(id) != 0;
}

} // namespace velquist
