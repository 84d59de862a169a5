#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <algorithm>
#include <thread>

namespace velquist::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

void settle(std::chrono::milliseconds duration)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void drain(QThreadPool& pool)
{
    drain({&pool});
}

void drain(std::initializer_list<QThreadPool*> pools)
{
    const auto busy = [&] {
        return std::any_of(pools.begin(), pools.end(),
                           [](QThreadPool* pool) { return pool->activeThreadCount() > 0; });
    };
    do {
        for (QThreadPool* pool : pools)
            pool->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    } while (busy());
}

} // namespace velquist::test
