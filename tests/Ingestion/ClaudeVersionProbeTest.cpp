#include "Ingestion/ClaudeVersionProbe.h"
#include "Core/CommandLookup.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingProcessRunner.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

TEST(ClaudeVersionProbeTest, PicksNewestVersionAndSkipsHiddenEntries)
{
    test::TemporaryHome home;
    home.write(".local/share/claude/versions/2.0.9", "x");
    home.write(".local/share/claude/versions/2.0.10", "x");
    home.write(".local/share/claude/versions/.2.9.99.lock", "x");
    const auto installed = ClaudeVersionProbe::installedVersion();
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->version, "2.0.10");
    EXPECT_EQ(installed->executable, home.path() / ".local/share/claude/versions/2.0.10");
}

TEST(ClaudeVersionProbeTest, UnversionedInstallIsNamedBySizeOfLinkTarget)
{
    test::TemporaryHome home;
    const fs::path real = home.write("npm/lib/cli.js", std::string(1234, 'c'));
    fs::create_directories(home.path() / ".local/bin");
    fs::create_symlink(real, home.path() / ".local/bin/claude");
    const auto installed = ClaudeVersionProbe::installedVersion();
    ASSERT_TRUE(installed);
    EXPECT_EQ(installed->version, "unversioned-1234");
    EXPECT_EQ(installed->executable, fs::canonical(real));
}

TEST(ClaudeVersionProbeTest, AnswersAreCachedPerVersionAndNegativesForgotten)
{
    test::TemporaryHome home;
    test::MemoryDefaults defaults;
    // The name must be found even where it straddles two read chunks.
    std::string binary(1 << 20, 'x');
    binary.replace(binary.size() - 4, 4, "Suba");
    binary += "gentStop and more";
    home.write(".local/share/claude/versions/2.0.14", binary);

    EXPECT_FALSE(ClaudeVersionProbe::cachedSupport("SubagentStop", defaults))
        << "unprobed counts as unsupported";
    EXPECT_TRUE(ClaudeVersionProbe::supportsHookEvent("SubagentStop", defaults));
    EXPECT_FALSE(ClaudeVersionProbe::supportsHookEvent("SubagentStart", defaults));
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.2.0.14.SubagentStop"), true);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.2.0.14.SubagentStart"), false);
    EXPECT_TRUE(ClaudeVersionProbe::cachedSupport("SubagentStop", defaults));

    // A cached answer wins over the file: it is never read again for this version.
    home.write(".local/share/claude/versions/2.0.14", "SubagentStart");
    EXPECT_FALSE(ClaudeVersionProbe::supportsHookEvent("SubagentStart", defaults));

    defaults.setValue("claudeHookSupport.old.other", "false");
    defaults.setValue("unrelated", false);
    ClaudeVersionProbe::forgetNegativeAnswers(defaults);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.2.0.14.SubagentStop"), true);
    EXPECT_FALSE(defaults.value("claudeHookSupport.2.0.14.SubagentStart"));
    EXPECT_TRUE(defaults.value("claudeHookSupport.old.other"));
    EXPECT_TRUE(defaults.value("unrelated"));
    EXPECT_TRUE(ClaudeVersionProbe::supportsHookEvent("SubagentStart", defaults)) << "probed afresh";
}

TEST(ClaudeVersionProbeTest, NothingInstalledLeavesNoKey)
{
    test::TemporaryHome home;
    test::MemoryDefaults defaults;
    if (ClaudeVersionProbe::installedVersion())
        GTEST_SKIP() << "a system-wide claude is installed";
    EXPECT_FALSE(ClaudeVersionProbe::supportsHookEvent("SubagentStart", defaults));
    EXPECT_TRUE(defaults.snapshot().empty());
}

TEST(ClaudeVersionProbeTest, UnreadableExecutableCachesNothing)
{
    test::TemporaryHome home;
    test::MemoryDefaults defaults;
    fs::create_directories(home.path() / ".local/share/claude/versions/2.0.1"); // a folder, not a file
    EXPECT_FALSE(ClaudeVersionProbe::supportsHookEvent("SubagentStart", defaults));
    EXPECT_TRUE(defaults.snapshot().empty());
}

TEST(ClaudeVersionProbeTest, BackgroundRefreshAnswersOnMainThread)
{
    test::TemporaryHome home;
    test::MemoryDefaults defaults;
    home.write(".local/share/claude/versions/3.0.0", "...SubagentStart...");
    defaults.setValue("claudeHookSupport.3.0.0.SubagentStart", false);

    QObject context;
    std::optional<bool> answer;
    bool onMainThread = false;
    ClaudeVersionProbe::refreshInBackground(defaults, &context, [&](bool supported) {
        answer = supported;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    ASSERT_TRUE(test::waitUntil([&] { return answer.has_value(); }));
    EXPECT_TRUE(*answer);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.3.0.0.SubagentStart"), true);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.3.0.0.SubagentStop"), false);
}

TEST(ClaudeVersionProbeTest, VersionAsksClaudeFoundByLoginShell)
{
    struct Case
    {
        const char* name;
        ProcessResult lookup;
        ProcessResult answer;
        std::optional<std::string> version;
    };
    using Runner = test::RecordingProcessRunner;
    const Case cases[] = {
        {"first word", Runner::exited(0, "/opt/claude\n"), Runner::exited(0, "2.0.14 (Claude Code)\n"),
         "2.0.14"},
        {"bare line", Runner::exited(0, "/opt/claude\n"), Runner::exited(0, "2.0.14\n"), "2.0.14"},
        {"failing", Runner::exited(0, "/opt/claude\n"), Runner::exited(1, "2.0.14"), std::nullopt},
        {"silent", Runner::exited(0, "/opt/claude\n"), Runner::exited(0, " \n"), std::nullopt},
        {"not found", Runner::exited(1), Runner::exited(0, "2.0.14"), std::nullopt},
    };
    test::TemporaryHome home;
    const fs::path claude = home.write("opt/claude", "#!/bin/sh\n");
    fs::permissions(claude, fs::perms(0755));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner runner;
        runner.respond([&](const ProcessRequest& request) {
            if (request.executable == "/bin/login-shell") {
                ProcessResult found = c.lookup;
                if (found.succeeded())
                    found.output = claude.string() + "\n";
                return found;
            }
            return c.answer;
        });
        CommandLookup lookup(runner, "/bin/login-shell");
        EXPECT_EQ(ClaudeVersionProbe::version(runner, lookup), c.version);
        const auto lines = runner.commandLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], (std::vector<std::string>{"/bin/login-shell", "-lc", "command -v claude"}));
        if (lines.size() > 1) {
            EXPECT_EQ(lines[1], (std::vector<std::string>{claude.string(), "--version"}));
            EXPECT_GT(runner.requests()[1].timeout.count(), 0);
        }
    }
}

TEST(ClaudeVersionProbeTest, VersionInBackgroundAnswersOnCallingThread)
{
    test::RecordingProcessRunner runner;
    runner.respond([](const ProcessRequest&) { return test::RecordingProcessRunner::exited(1); });
    CommandLookup lookup(runner, "/bin/login-shell");
    QObject context;
    bool answered = false;
    Qt::HANDLE answeredOn = nullptr;
    ClaudeVersionProbe::versionInBackground(runner, lookup, &context, [&](std::optional<std::string> found) {
        answered = true;
        answeredOn = QThread::currentThreadId();
        EXPECT_FALSE(found);
    });
    ASSERT_TRUE(test::waitUntil([&] { return answered; }));
    EXPECT_EQ(answeredOn, QThread::currentThreadId());
}
