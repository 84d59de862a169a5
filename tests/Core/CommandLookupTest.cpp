#include "Core/CommandLookup.h"

#include "support/RecordingProcessRunner.h"
#include "support/base/TemporaryHome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
using velquist::test::RecordingProcessRunner;
namespace fs = std::filesystem;

namespace {

std::string makeFile(const fs::path& path, fs::perms mode)
{
    std::ofstream(path) << "#!/bin/sh\n";
    fs::permissions(path, mode);
    return path.string();
}

using Lines = std::vector<std::vector<std::string>>;

} // namespace

TEST(CommandLookupTest, AWellKnownPathNeedsNoShell)
{
    test::TemporaryFolder folder;
    const auto tool = makeFile(folder.path() / "tmux", fs::perms::owner_all);
    const auto notExecutable = makeFile(folder.path() / "plain", fs::perms::owner_read);
    RecordingProcessRunner runner;
    CommandLookup lookup(runner, "/bin/zsh");
    EXPECT_EQ(lookup.find("tmux", {"/nonexistent/tmux", notExecutable, folder.path().string(), tool}), tool);
    EXPECT_TRUE(runner.requests().empty());
}

TEST(CommandLookupTest, TheLoginShellRunsOnceThenThePathIsCached)
{
    test::TemporaryFolder folder;
    const auto tool = makeFile(folder.path() / "tmux", fs::perms::owner_all);
    RecordingProcessRunner runner;
    // A login profile may print before the answer.
    runner.respond([&](const ProcessRequest&) {
        return RecordingProcessRunner::exited(0, "Welcome!\n" + tool + "\n\n");
    });
    CommandLookup lookup(runner, "/bin/zsh", std::chrono::milliseconds(1234));
    EXPECT_EQ(lookup.find("tmux", {"/nonexistent/tmux"}), tool);
    EXPECT_EQ(lookup.find("tmux", {"/nonexistent/tmux"}), tool);
    EXPECT_EQ(runner.commandLines(), (Lines{{"/bin/zsh", "-lc", "command -v tmux"}}));
    EXPECT_EQ(runner.requests().front().timeout, std::chrono::milliseconds(1234));
}

TEST(CommandLookupTest, AFailedSearchIsNotCached)
{
    test::TemporaryFolder folder;
    const auto notExecutable = makeFile(folder.path() / "tmux", fs::perms::owner_read);
    struct Case
    {
        const char* what;
        ProcessResult result;
    };
    const Case cases[] = {
        {"not found", RecordingProcessRunner::exited(1)},
        {"an alias, not a path", RecordingProcessRunner::exited(0, "alias tmux='tmux -2'\n")},
        {"a path that is not executable", RecordingProcessRunner::exited(0, notExecutable + "\n")},
        {"a hung profile", ProcessResult{ProcessResult::Status::timedOut, -1, "", false}},
        {"no shell", ProcessResult{}},
    };
    for (const auto& c : cases) {
        RecordingProcessRunner runner;
        runner.respond([&](const ProcessRequest&) { return c.result; });
        CommandLookup lookup(runner, "/bin/sh");
        EXPECT_EQ(lookup.find("tmux"), std::nullopt) << c.what;
        EXPECT_EQ(lookup.find("tmux"), std::nullopt) << c.what;
        EXPECT_EQ(runner.requests().size(), 2u) << c.what;
    }
}

TEST(CommandLookupTest, NamesThatAreNotPlainAreRefusedWithoutRunningAnything)
{
    RecordingProcessRunner runner;
    CommandLookup lookup(runner, "/bin/sh");
    for (const char* name : {"", "tmux; rm -rf ~", "$(id)", "-v", "a b", "../tmux", "tmux\n"})
        EXPECT_EQ(lookup.find(name), std::nullopt) << name;
    EXPECT_TRUE(runner.requests().empty());
}

TEST(CommandLookupTest, PathIsTheLastNonEmptyLine)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/usr/bin/tmux\n", "/usr/bin/tmux"},
        {"  /usr/bin/tmux  \r\n\n", "/usr/bin/tmux"},
        {"motd line\n/opt/bin/claude", "/opt/bin/claude"},
        {"/usr/bin/tmux\nnoise after\n", std::nullopt},
        {"tmux: aliased to tmux -2\n", std::nullopt},
        {"", std::nullopt},
        {"\n\n", std::nullopt},
    };
    for (const auto& [output, expected] : cases)
        EXPECT_EQ(CommandLookup::pathFromOutput(output), expected) << output;
}
