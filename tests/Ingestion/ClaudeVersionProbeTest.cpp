#include "Ingestion/ClaudeVersionProbe.h"
#include "support/MemoryDefaults.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

TEST(ClaudeVersionProbeTest, NumericOrderOfVersionNames)
{
    struct Case
    {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"2.0.9", "2.0.10", -1}, {"2.0.10", "2.0.9", 1},   {"2.0.10", "2.0.10", 0}, {"2.1", "2.0.99", 1},
        {"2.0", "2.0.1", -1},    {"1.0.0a", "1.0.0b", -1}, {"10", "9", 1},          {"002", "2", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClaudeVersionProbe::compareNumerically(c.a, c.b), c.order) << c.a << " vs " << c.b;
}

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
    QElapsedTimer waited;
    waited.start();
    while (!answer && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(*answer);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.3.0.0.SubagentStart"), true);
    EXPECT_EQ(defaults.boolValue("claudeHookSupport.3.0.0.SubagentStop"), false);
}
