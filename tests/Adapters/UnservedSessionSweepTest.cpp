#include "Adapters/UnservedSessionSweep.h"
#include "Core/SessionStore.h"
#include "support/ManualScheduler.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// A process id that no longer exists.
pid_t deadProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

} // namespace

TEST(UnservedSessionSweepTest, StaleSessionsOfAgentsWithoutAnAdapterAreSweptEveryMinute)
{
    test::TemporaryFolder folder;
    test::ManualScheduler clock;
    SessionStore store(clock, clock, folder.path() / "sessions.json");
    const pid_t gone = deadProcess();
    struct Case
    {
        std::string id;
        std::optional<std::int64_t> ownerPID;
        bool swept;
    };
    const std::vector<Case> cases{
        {"codex:orphan", gone, true},
        {"qwen:orphan", gone, true},
        {"opencode:orphan", gone, true},
        {"codex:alive", ::getpid(), false},
        {"codex:no-owner", std::nullopt, false},
        {"claude:orphan", gone, false},   // its own adapter sweeps it
        {"detected:orphan", gone, false}, // not an adapter's
        {"mock-orphan", gone, false},
    };
    for (const auto& c : cases) {
        Session session;
        session.id = c.id;
        session.terminal.ownerPID = c.ownerPID;
        session.updatedAt = clock.now();
        store.upsert(session);
    }
    UnservedSessionSweep sweep(store, clock, clock, {"claude"});
    sweep.start();
    clock.advance(59s);
    EXPECT_TRUE(store.session("codex:orphan"));
    clock.advance(1s);
    for (const auto& c : cases)
        EXPECT_EQ(store.session(c.id) == nullptr, c.swept) << c.id;

    // Left alone for six hours, a session with a live owner is stale too.
    clock.advance(6h);
    EXPECT_FALSE(store.session("codex:alive"));
    EXPECT_FALSE(store.session("codex:no-owner"));
    EXPECT_TRUE(store.session("claude:orphan"));
}
