#include "Adapters/HookAdapterFixture.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using Name = HookEvent::Name;

namespace {

pid_t deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class HookAdapterOwnerTest : public HookAdapterFixture
{
};

} // namespace

// A hook command run through a shell that forks it reports the shell, gone a moment later; the
// live agent that owned the session stays its owner.
TEST_F(HookAdapterOwnerTest, ALiveOwnerIsNotReplacedByOneThatIsGone)
{
    const std::int64_t alive = ::getpid();
    const std::int64_t otherAlive = ::getppid();
    const std::int64_t gone = deadPid();
    const std::int64_t goneToo = deadPid();
    struct Case
    {
        const char* name;
        std::int64_t stored;
        std::optional<std::int64_t> sent;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"a gone owner does not replace a live one", alive, gone, alive},
        {"an owner that is no process id does not replace a live one", alive, 1, alive},
        {"a live owner replaces a live one", alive, otherAlive, otherAlive},
        {"a live owner replaces a gone one", gone, alive, alive},
        {"a gone owner replaces a gone one", gone, goneToo, goneToo},
        {"no owner keeps the stored one", alive, std::nullopt, alive},
    };
    for (const bool held : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (held ? ", on a held request" : ", on an event"));
            store.remove("claude:s1");
            HookEvent start = event(Name::sessionStart);
            start.ttyOwnerPID = c.stored;
            adapter->apply(start);
            ASSERT_EQ(session().terminal.ownerPID, c.stored);

            HookEvent next = toolEvent(Name::preToolUse, "Bash");
            next.ttyOwnerPID = c.sent;
            std::unique_ptr<WaitingClient> client;
            if (held)
                client = hold(next);
            else
                adapter->apply(next);
            EXPECT_EQ(session().terminal.ownerPID, c.expected);
        }
    }
}
