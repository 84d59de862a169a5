#include "Shared/ProcessTree.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;

TEST(ProcessTreeTest, ParseStatReadsFieldsAfterTheLastParenthesis)
{
    struct Case
    {
        std::string text;
        std::optional<pid_t> parent;
        std::int64_t tty;
    };
    const Case cases[] = {
        {"1234 (bash) S 1000 1234 1234 34816 1234 4194304", 1000, 34816},
        {"42 (my prog) R 7 42 42 0 -1", 7, 0},
        {"42 (evil) S 9 9 9 9 (x) S 555 1 1 34817 1", 555, 34817},
        {"42 (a)b) S 3 3 3 1025 3", 3, 1025},
        {"garbage", std::nullopt, 0},
        {"42 (cut) S", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const auto parsed = ProcessTree::parseStat(c.text);
        ASSERT_EQ(parsed.has_value(), c.parent.has_value()) << c.text;
        if (parsed) {
            EXPECT_EQ(parsed->parent, *c.parent) << c.text;
            EXPECT_EQ(parsed->ttyNr, c.tty) << c.text;
        }
    }
}

TEST(ProcessTreeTest, TtyNamesFollowDeviceNumbers)
{
    EXPECT_EQ(ProcessTree::ttyName(0), "");
    EXPECT_EQ(ProcessTree::ttyName(34816), "pts/0"); // major 136, minor 0
    EXPECT_EQ(ProcessTree::ttyName(34819), "pts/3");
    EXPECT_EQ(ProcessTree::ttyName((137 << 8) | 4), "pts/260");
    EXPECT_EQ(ProcessTree::ttyName((136 << 8) | (1 << 20) | 2), "pts/258"); // minor's high bits
    EXPECT_EQ(ProcessTree::ttyName(1026), "tty2");                          // major 4, minor 2
}

TEST(ProcessTreeTest, FollowsARealChainOfProcesses)
{
    // This process forks a child, which forks a grandchild; the grandchild reports its chain.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t self = ::getpid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const pid_t middle = ::getpid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            const auto chain = ProcessTree::ancestors(::getpid(), 15);
            const auto limited = ProcessTree::ancestors(::getpid(), 1);
            const bool ok = chain.size() >= 2 && chain[0] == middle && chain[1] == self &&
                            limited.size() == 1 && limited[0] == middle &&
                            ProcessTree::ancestors(::getpid(), 0).empty();
            const char answer = ok ? 'y' : 'n';
            [[maybe_unused]] auto written = ::write(pipeFds[1], &answer, 1);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(grandchild, &status, 0);
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(pipeFds[0], &answer, 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_EQ(answer, 'y');
}

TEST(ProcessTreeTest, MissingProcessesAndInitGiveEmptyChains)
{
    EXPECT_TRUE(ProcessTree::ancestors(1, 15).empty());
    EXPECT_TRUE(ProcessTree::ancestors(0x7ffffff0, 15).empty());
    EXPECT_FALSE(ProcessTree::isAlive(0));
    EXPECT_FALSE(ProcessTree::isAlive(1));
    EXPECT_TRUE(ProcessTree::isAlive(::getpid()));

    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_FALSE(ProcessTree::isAlive(child));
}

TEST(ProcessTreeTest, ShellsRunningACommandAreTold)
{
    struct Case
    {
        std::vector<std::string> arguments;
        bool runsCommand;
    };
    const Case cases[] = {
        {{"/bin/sh", "-c", "quorvel --engine gemini"}, true},
        {{"sh", "-c", "x"}, true},
        {{"dash", "-ec", "x"}, true},
        {{"/usr/bin/bash", "-lc", "x"}, true},
        {{"bash", "--login", "-c", "x"}, true},
        {{"bash", "-o", "pipefail", "-c", "x"}, true},
        {{"bash", "-O", "extglob", "-c", "x"}, true},
        {{"zsh", "+x", "-c", "x"}, true},
        {{"/usr/bin/fish", "--command=x"}, true},
        {{"fish", "--command", "x"}, true},
        {{"-bash", "-c", "x"}, true},
        // The agent itself, or a shell that runs a script or a session of its own.
        {{"node", "-c", "x"}, false},
        {{"/usr/bin/python3", "-c", "x"}, false},
        {{"shell", "-c", "x"}, false},
        {{"bash"}, false},
        {{"-bash"}, false},
        {{"/bin/sh", "script.sh", "-c"}, false},
        {{"bash", "--", "-c"}, false},
        {{"sh", "-", "-c"}, false},
        {{"bash", "-o", "-c"}, false}, // "-c" is the option's value
        {{"sh", "+c", "x"}, false},
        {{}, false},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& argument : c.arguments)
            shown += argument + " ";
        EXPECT_EQ(ProcessTree::runsShellCommand(c.arguments), c.runsCommand) << shown;
    }
}

TEST(ProcessTreeTest, CommandLineOfALiveProcess)
{
    const auto own = ProcessTree::commandLine(::getpid());
    ASSERT_FALSE(own.empty());
    EXPECT_NE(own.front().find("test_shared"), std::string::npos) << own.front();
    EXPECT_TRUE(ProcessTree::commandLine(0).empty());
    EXPECT_TRUE(ProcessTree::commandLine(-1).empty());
}
