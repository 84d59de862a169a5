#include "App/InstanceLock.h"
#include "Shared/AppPaths.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using State = InstanceLock::State;

TEST(InstanceLockTest, OneHolderAtATimeUntilItGoes)
{
    test::TemporaryHome home;
    auto first = std::make_unique<InstanceLock>();
    EXPECT_EQ(first->state(), State::held);
    EXPECT_EQ(InstanceLock::defaultFile(), AppPaths::appSupport() / "velquist.lock");
    struct stat info
    {
    };
    ASSERT_EQ(::stat(AppPaths::appSupport().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    EXPECT_EQ(InstanceLock().state(), State::heldElsewhere);

    // Another process sees the same.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(InstanceLock().state() == State::heldElsewhere ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.reset();
    EXPECT_EQ(InstanceLock().state(), State::held);
}

TEST(InstanceLockTest, AFolderThatCannotBeMadeLeavesTheLockUnavailable)
{
    test::TemporaryHome home;
    home.write(".local/share/Velquist", "a file where the folder should be");
    InstanceLock lock;
    EXPECT_EQ(lock.state(), State::unavailable);
    EXPECT_FALSE(lock.error().empty());
}

TEST(InstanceLockTest, DeletingTheSupportFolderDoesNotLetASecondCopyStart)
{
    test::TemporaryHome home;
    const InstanceLock first;
    ASSERT_EQ(first.state(), State::held);
    std::filesystem::remove_all(AppPaths::appSupport());
    EXPECT_EQ(InstanceLock().state(), State::heldElsewhere);
    // Another user's folder, or another home, is another name.
    test::TemporaryHome other;
    EXPECT_EQ(InstanceLock().state(), State::held);
}
