#include "Shared/UserAccount.h"
#include "Shared/AppPaths.h"
#include "Shared/HomePaths.h"
#include "support/base/TemporaryFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

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
    test::TemporaryFolder home;
    const HomePaths paths(home.path());
    EXPECT_EQ(paths.support(), home.path() / ".local/share/Velquist");
    EXPECT_EQ(paths.installedHelper(), home.path() / ".local/share/Velquist/bin/quorvel");
    EXPECT_EQ(paths.claudeSettingsBackup(), home.path() / ".claude/settings.json.velquist.bak");

    // Each environment is tried in a child process: this one's HOME stays as it is.
    struct Case
    {
        std::optional<std::string> variable; // none: unset
        bool taken;
    };
    const Case cases[] = {
        {home.path().string(), true},
        {"relative/home", false},
        {"", false},
        {std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable.value_or("(unset)"));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (c.variable)
                ::setenv("HOME", c.variable->c_str(), 1);
            else
                ::unsetenv("HOME");
            const std::filesystem::path found = HomePaths::fromEnvironment().home();
            const bool ok =
                found == AppPaths::home() && found.is_absolute() &&
                (c.taken ? found == *c.variable : found != std::filesystem::path(c.variable.value_or("")));
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}
