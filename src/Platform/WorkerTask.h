#pragma once

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <functional>
#include <utility>

namespace velquist {

// Runs `work` on a pool thread and hands its result to `done` on the thread that called this
// (which must run an event loop). `done` is dropped when `context` is destroyed before the result
// arrives, so a callback never reaches an object that has gone.
//
// The result is posted to the caller thread's event dispatcher rather than to `context`: the
// worker must not touch `context`, which the caller's thread may delete at any moment. `pool`
// defaults to Qt's global one.
template <typename Result>
void runOnWorker(QObject* context, std::function<Result()> work, std::function<void(Result)> done,
                 QThreadPool* pool = nullptr)
{
    QPointer<QObject> guard(context);
    QObject* home = QAbstractEventDispatcher::instance();
    Q_ASSERT(home);
    (pool ? pool : QThreadPool::globalInstance())
        ->start([guard, home, work = std::move(work), done = std::move(done)]() mutable {
            Result result = work();
            QMetaObject::invokeMethod(
                home,
                [guard, done = std::move(done), result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        });
}

} // namespace velquist
