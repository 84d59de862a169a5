#include "Core/QtScheduler.h"

#include "Shared/Log.h"

#include <QTimerEvent>
#include <string>

namespace velquist {

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {}

QtScheduler::~QtScheduler()
{
    for (const auto& [qtId, timer] : m_timers)
        killTimer(qtId);
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
    const int qtId = startTimer(std::max<std::chrono::milliseconds>(delay, std::chrono::milliseconds(0)),
                                Qt::PreciseTimer);
    if (qtId == 0) {
        // Qt refuses a timer outside a thread with an event loop or when it has no ids left; the
        // callback will never run, so say so rather than lose it without a trace.
        Log::system("Velquist: a timer of " + std::to_string(delay.count()) +
                    " ms could not be started; its work will not run");
        return id;
    }
    m_timers.emplace(qtId, Timer{id, repeating, std::make_shared<Callback>(std::move(callback))});
    m_qtIds.emplace(id, qtId);
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    const auto found = m_qtIds.find(id);
    if (found == m_qtIds.end())
        return;
    killTimer(found->second);
    m_timers.erase(found->second);
    m_qtIds.erase(found);
}

bool QtScheduler::isScheduled(TimerId id) const
{
    return m_qtIds.count(id) != 0;
}

void QtScheduler::timerEvent(QTimerEvent* event)
{
    const auto found = m_timers.find(event->timerId());
    if (found == m_timers.end())
        return;
    const std::shared_ptr<Callback> callback = found->second.callback;
    if (!found->second.repeating) {
        // Forget the timer before running the callback, which may schedule or cancel others.
        killTimer(found->first);
        m_qtIds.erase(found->second.id);
        m_timers.erase(found);
    }
    (*callback)();
}

} // namespace velquist
