#include "Attention/GlanceWatcher.h"

#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Terminal/TerminalBinder.h"
#include "support/ManualScheduler.h"
#include "support/RecordingWindowSystem.h"
#include "support/TerminalWorld.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr auto window = &test::RecordingWindowSystem::makeWindow;
constexpr pid_t terminalPid = 700;
constexpr pid_t shellA = 701;
constexpr pid_t shellB = 702;
constexpr pid_t editorPid = 800;

class GlanceWatcherTest : public ::testing::Test, protected test::TerminalWorld
{
  protected:
    GlanceWatcherTest()
    {
        store.disablePersistence();
        // Each shell's own pid is taken for the terminal's: the registry knows it as the terminal.
        registry.add({shellA, "net.kovidgoyal.kitty", "kitty", true});
        registry.add({shellB, "net.kovidgoyal.kitty", "kitty", true});
        registry.add({terminalPid, "org.alacritty", "Alacritty", true});
        editorInFront(windows, window(1, editorPid, "editor"),
                      {window(2, shellA, "~/a: claude"), window(3, terminalPid, "zsh")});
        watcher.start();
    }
    ~GlanceWatcherTest() override { watcher.stop(); }

    void finish(const std::string& id, std::int64_t owner)
    {
        Session session;
        session.id = id;
        session.cwd = "/work/" + id;
        session.status = SessionStatus::Done{};
        session.terminal.ownerPID = owner;
        store.upsert(std::move(session));
        watcher.reevaluate();
    }
    bool isRead(const std::string& id) const { return store.session(id)->doneSeenAt.has_value(); }
    // Lets a pass's worker answer, then moves the clock by `step`. (The store keeps timers of its
    // own, so the scheduler's queue says nothing about the watcher.)
    void tick(std::chrono::milliseconds step = 1s)
    {
        test::drain(workers);
        scheduler.advance(step);
    }

    test::TemporaryFolder folder;
    test::ManualScheduler scheduler;
    SilenceRuleStore silence{folder.path() / "silence.json"};
    SessionStore store{scheduler, scheduler, folder.path() / "sessions.json", &silence};
    test::RecordingWindowSystem windows;
    // The passes' workers: a pass still running when the test ends finishes before the doubles go.
    QThreadPool workers;
    GlanceWatcher watcher{{store, binder, windows, scheduler, scheduler, &workers}};
};

} // namespace

TEST_F(GlanceWatcherTest, NothingToWatchMeansNoWork)
{
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    windows.setActive(2);
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_TRUE(registry.asked().empty());
}

TEST_F(GlanceWatcherTest, ASessionShownForTheDwellIsMarkedRead)
{
    finish("aaaaaaaa-1", shellA);
    // Its terminal is not in front: one look, then idle.
    tick();
    EXPECT_FALSE(watcher.isWatching());

    windows.setWindows({window(1, editorPid, "editor"), window(2, shellA, "aaaaaaaa: claude")});
    windows.setActive(2);
    tick();
    tick();
    EXPECT_FALSE(isRead("aaaaaaaa-1"));
    tick();
    EXPECT_TRUE(isRead("aaaaaaaa-1"));
    tick();
    EXPECT_FALSE(watcher.isWatching());
}

TEST_F(GlanceWatcherTest, LookingAwayBeforeTheDwellKeepsItUnread)
{
    windows.setWindows({window(1, editorPid, "editor"), window(2, shellA, "aaaaaaaa: claude")});
    finish("aaaaaaaa-1", shellA);
    windows.setActive(2);
    tick();
    windows.setActive(1);
    tick();
    tick();
    tick();
    EXPECT_FALSE(isRead("aaaaaaaa-1"));
    EXPECT_FALSE(watcher.isWatching());
}

TEST_F(GlanceWatcherTest, OnlyTheOnlyWindowOfATerminalWithoutTabsCountsWithoutATitleMatch)
{
    // Kitty has tabs: its only window might show another tab.
    finish("bbbbbbbb-2", shellB);
    windows.setWindows({window(1, editorPid, "editor"), window(4, shellB, "zsh")});
    windows.setActive(4);
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_FALSE(isRead("bbbbbbbb-2"));

    // Alacritty has none: its one window is the session.
    windows.setWindows(
        {window(1, editorPid, "editor"), window(4, shellB, "zsh"), window(3, terminalPid, "zsh")});
    finish("cccccccc-3", terminalPid);
    windows.setActive(3);
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_TRUE(isRead("cccccccc-3"));
}

TEST_F(GlanceWatcherTest, OnePassResolvesEachOwnerOnce)
{
    windows.setWindows({window(1, editorPid, "editor"), window(2, shellA, "aaaaaaaa: claude")});
    finish("aaaaaaaa-1", shellA);
    finish("aaaaaaaa-2", shellA);
    tick();
    const auto before = registry.asked().size();
    windows.setActive(2);
    tick();
    const auto asked = registry.asked();
    EXPECT_EQ(std::count(asked.begin() + static_cast<std::ptrdiff_t>(before), asked.end(), shellA), 1);
}
