#include "Shared/UserAccount.h"
#include "Shared/AppPaths.h"
#include "support/base/TemporaryHome.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;

TEST(UserAccountTest, LooksUpEntriesInAPasswdFile)
{
    test::TemporaryFolder folder;
    const auto file = folder.path() / "passwd";
    std::ofstream(file) << "root:x:0:0:root:/root:/bin/bash\n"
                           "broken line\n"
                           "ann:x:1000:1000:Ann,,,:/home/ann:/usr/bin/zsh\n"
                           "noshell:x:1001:1001::/home/noshell\n";
    const auto ann = UserAccount::lookup(1000, file);
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->home, "/home/ann");
    EXPECT_EQ(ann->shell, "/usr/bin/zsh");
    const auto noShell = UserAccount::lookup(1001, file);
    ASSERT_TRUE(noShell);
    EXPECT_EQ(noShell->shell, "");
    EXPECT_FALSE(UserAccount::lookup(4242, file));
}

TEST(UserAccountTest, HomeComesFromAnAbsoluteHomeVariableOnly)
{
    test::TemporaryHome home;
    EXPECT_EQ(AppPaths::home(), home.path());
    EXPECT_EQ(AppPaths::appSupport(), home.path() / ".local/share/Velquist");
    EXPECT_EQ(AppPaths::installedHelper(), home.path() / ".local/share/Velquist/bin/quorvel");
    EXPECT_EQ(AppPaths::claudeSettingsBackup(), home.path() / ".claude/settings.json.velquist.bak");

    ::setenv("HOME", "relative/home", 1);
    EXPECT_NE(AppPaths::home(), std::filesystem::path("relative/home"));
    EXPECT_TRUE(AppPaths::home().is_absolute());
}
