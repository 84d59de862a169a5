#pragma once

#include "Core/Scheduler.h"

#include <QObject>
#include <unordered_map>

class QTimer;

namespace velquist {

// Scheduler on Qt timers of the thread that owns it (the main thread).
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

  private:
    TimerId start(std::chrono::milliseconds delay, bool repeating, Callback callback);

    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer*> m_timers;
};

} // namespace velquist
