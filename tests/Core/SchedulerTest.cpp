#include "Core/QtScheduler.h"
#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <string>

using namespace velquist;
using namespace std::chrono_literals;

TEST(ManualSchedulerTest, RunsDueTimersInOrderAndAllowsReentrantChanges)
{
    test::ManualScheduler scheduler;
    std::string log;
    Scheduler::TimerId cancelled = 0;
    scheduler.schedule(2s, [&] { log += "b"; });
    scheduler.schedule(1s, [&] {
        log += "a";
        scheduler.cancel(cancelled);
        scheduler.schedule(500ms, [&] { log += "c"; }); // due at 1.5 s
    });
    cancelled = scheduler.schedule(1800ms, [&] { log += "x"; });
    const auto start = scheduler.now();
    scheduler.advance(3s);
    EXPECT_EQ(log, "acb");
    EXPECT_EQ(scheduler.now() - start, 3s);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(ManualSchedulerTest, RepeatingTimersFireEachIntervalUntilTheTokenGoes)
{
    test::ManualScheduler scheduler;
    int ticks = 0;
    {
        ScheduledTimer timer(scheduler, scheduler.scheduleRepeating(60s, [&] { ++ticks; }));
        scheduler.advance(181s);
        EXPECT_EQ(ticks, 3);
        EXPECT_TRUE(timer.isActive());
    }
    scheduler.advance(600s);
    EXPECT_EQ(ticks, 3);
}

TEST(QtSchedulerTest, FiresOnTheEventLoopAndCancels)
{
    QtScheduler scheduler;
    int fired = 0;
    const auto keep = scheduler.schedule(10ms, [&] { ++fired; });
    const auto drop = scheduler.schedule(10ms, [&] { fired += 100; });
    scheduler.cancel(drop);
    EXPECT_TRUE(scheduler.isScheduled(keep));
    EXPECT_FALSE(scheduler.isScheduled(drop));
    QElapsedTimer elapsed;
    elapsed.start();
    while (fired == 0 && elapsed.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(scheduler.isScheduled(keep));
}
