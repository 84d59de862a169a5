#pragma once

#include "Core/Scheduler.h"

#include <QObject>
#include <memory>
#include <unordered_map>

namespace velquist {

// Scheduler on Qt timers of the thread that owns it (the main thread). Every timer is one timer id
// of this object rather than an object of its own, so arming and cancelling (which busy views and
// debounces do on every change) costs no allocation of objects, signal connections or deferred
// deletions.
class QtScheduler final : public QObject, public Scheduler
{
    Q_OBJECT
  public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    TimerId schedule(std::chrono::milliseconds delay, Callback callback) override;
    TimerId scheduleRepeating(std::chrono::milliseconds interval, Callback callback) override;
    void cancel(TimerId id) override;
    bool isScheduled(TimerId id) const override;

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    struct Timer
    {
        TimerId id;
        bool repeating;
        // Shared so that a callback that cancels its own timer is not destroyed while it runs.
        std::shared_ptr<Callback> callback;
    };

    TimerId start(std::chrono::milliseconds delay, bool repeating, Callback callback);

    TimerId m_nextId = 1;
    // By Qt's timer id, and ours to Qt's.
    std::unordered_map<int, Timer> m_timers;
    std::unordered_map<TimerId, int> m_qtIds;
};

} // namespace velquist
