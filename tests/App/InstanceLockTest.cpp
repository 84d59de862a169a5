#include "App/InstanceLock.h"
#include "Shared/HomePaths.h"
#include "support/base/TemporaryFolder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using State = InstanceLock::State;

TEST(InstanceLockTest, OneHolderAtATimeUntilItGoes)
{
    test::TemporaryFolder home;
    const HomePaths paths(home.path());
    const std::filesystem::path file = InstanceLock::fileIn(paths);
    auto first = std::make_unique<InstanceLock>(file);
    EXPECT_EQ(first->state(), State::held);
    EXPECT_EQ(file, home.path() / ".local/share/Velquist/velquist.lock");
    struct stat info
    {
    };
    ASSERT_EQ(::stat(paths.support().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    EXPECT_EQ(InstanceLock(file).state(), State::heldElsewhere);

    // Another process sees the same.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(InstanceLock(file).state() == State::heldElsewhere ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.reset();
    EXPECT_EQ(InstanceLock(file).state(), State::held);
}

TEST(InstanceLockTest, AFolderThatCannotBeMadeLeavesTheLockUnavailable)
{
    test::TemporaryFolder home;
    home.write(".local/share/Velquist", "a file where the folder should be");
    InstanceLock lock(InstanceLock::fileIn(HomePaths(home.path())));
    EXPECT_EQ(lock.state(), State::unavailable);
    EXPECT_FALSE(lock.error().empty());
}

TEST(InstanceLockTest, DeletingTheSupportFolderDoesNotLetASecondCopyStart)
{
    test::TemporaryFolder home;
    const HomePaths paths(home.path());
    const std::filesystem::path file = InstanceLock::fileIn(paths);
    const InstanceLock first(file);
    ASSERT_EQ(first.state(), State::held);
    std::filesystem::remove_all(paths.support());
    EXPECT_EQ(InstanceLock(file).state(), State::heldElsewhere);
    // Another user's folder, or another home, is another name.
    test::TemporaryFolder other;
    EXPECT_EQ(InstanceLock(InstanceLock::fileIn(HomePaths(other.path()))).state(), State::held);
}

TEST(InstanceLockTest, OnlyAHolderRunningAsThisUserCountsAsAnotherInstance)
{
    constexpr uid_t self = 1000;
    struct Case
    {
        State lockState;
        std::optional<uid_t> holder;
        State expected;
    } cases[] = {
        {State::held, self, State::heldElsewhere},
        {State::held, 0, State::held},
        {State::held, std::nullopt, State::held},
        {State::unavailable, self, State::heldElsewhere},
        {State::unavailable, 2000, State::unavailable},
        {State::heldElsewhere, 2000, State::heldElsewhere},
        {State::heldElsewhere, std::nullopt, State::heldElsewhere},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstanceLock::stateWithNameTaken(c.lockState, c.holder, self), c.expected)
            << static_cast<int>(c.lockState) << " " << (c.holder ? std::to_string(*c.holder) : "none");
    }
}

TEST(InstanceLockTest, ALaterLaunchTellsOnlyThisUsersInstance)
{
    test::TemporaryFolder home;
    const std::filesystem::path file = InstanceLock::fileIn(HomePaths(home.path()));
    EXPECT_FALSE(InstanceLock::tellHolder(file));
    {
        const InstanceLock first(file);
        ASSERT_EQ(first.state(), State::held);
        EXPECT_TRUE(InstanceLock::tellHolder(file)) << "heard before its listener is set up";
    }

    // Another user's process on the name: only possible to stage with the right to change users.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    const std::string name = InstanceLock::abstractName(file);
    int ready[2];
    int hold[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t squatter = ::fork();
    if (squatter == 0) {
        ::close(ready[0]);
        ::close(hold[1]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
            ::listen(fd, 8) != 0)
            ::_exit(2);
        const char byte = 1;
        if (::write(ready[1], &byte, 1) != 1)
            ::_exit(3);
        char ignored;
        while (::read(hold[0], &ignored, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    char byte = 0;
    const bool bound = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (bound) {
        const InstanceLock lock(file);
        EXPECT_EQ(lock.state(), State::held) << "the lock file decides";
        EXPECT_EQ(lock.nameSocket(), -1);
        EXPECT_EQ(InstanceLock(file).state(), State::heldElsewhere);
        EXPECT_FALSE(InstanceLock::tellHolder(file));
    }
    ::close(hold[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(squatter, &status, 0), squatter);
    EXPECT_TRUE(bound && WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
