#include "App/InstanceLock.h"
#include "Shared/HomePaths.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
