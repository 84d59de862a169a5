#include "App/AppDelegate.h"
#include "Adapters/HookGateway.h"
#include "Adapters/OpenCodeAdapter.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "support/AgentOnTerminal.h"
#include "support/ChildProcess.h"
#include "support/DelegateWorld.h"
#include "support/WaitUntil.h"

#include <QThreadPool>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

// A delegate on doubles in a temporary home; the real hook client is the one installed.
struct Harness : test::DelegateWorld
{
    Harness() : delegate(services()) {}

    std::vector<std::string> adapterEngines() const
    {
        std::vector<std::string> engines;
        for (const auto& [engine, adapter] : delegate.gateway()->adapters())
            engines.push_back(engine);
        return engines;
    }

    AppDelegate delegate;
};

class AppDelegateTest : public ::testing::Test, protected Harness
{
  protected:
    static Session liveSession(const std::string& id, const std::string& cwd)
    {
        Session session;
        session.id = id;
        session.cwd = cwd;
        session.status = SessionStatus::Working{"Reading"};
        session.terminal.ownerPID = ::getpid();
        return session;
    }

    void save(const std::vector<Session>& sessions) const
    {
        auto array = nlohmann::ordered_json::array();
        for (const auto& session : sessions)
            array.push_back(session.toJson());
        ASSERT_TRUE(FileUtil::ensurePrivateDirectory(paths.support()));
        ASSERT_TRUE(FileUtil::writeAtomically(paths.sessionsFile(), Json::dump(array)));
    }
};

TEST_F(AppDelegateTest, DemonstrationSessionsComeFirstAndSavedOnesReplaceThem)
{
    save({liveSession("mock-mobile", "/home/u/real"), liveSession("claude:abc", "/home/u/other")});

    delegate.applicationDidFinishLaunching({"velquist", "--mock-data"});

    EXPECT_EQ(delegate.store().sessions().size(), 8u);
    EXPECT_EQ(delegate.store().session("mock-mobile")->cwd, "/home/u/real");
    // Its adapter resumed it: a session working when the application quit is idle now.
    EXPECT_TRUE(delegate.store().session("claude:abc")->status.is<SessionStatus::Idle>());
}

TEST_F(AppDelegateTest, WithoutTheArgumentNoDemonstrationIsShown)
{
    delegate.applicationDidFinishLaunching({"velquist", "--mock-data-please"});
    EXPECT_TRUE(delegate.store().sessions().empty());
}

TEST_F(AppDelegateTest, QuittingBeforeTheDebouncedSaveStillWritesTheLatestSessions)
{
    delegate.applicationDidFinishLaunching({"velquist"});
    delegate.store().upsert(liveSession("claude:new", "/home/u/new"));
    ASSERT_FALSE(fs::exists(paths.sessionsFile()));

    delegate.applicationWillTerminate();

    EXPECT_NE(FileUtil::read(paths.sessionsFile()).bytes.find("claude:new"), std::string::npos);
    EXPECT_EQ(clock.pendingCount(), 0u) << "no save is left to fire after the shutdown";
}

TEST_F(AppDelegateTest, AShutdownWithoutAStartUpLeavesTheSavedSessionsAlone)
{
    save({liveSession("claude:abc", "/home/u/project")});
    const std::string before = FileUtil::read(paths.sessionsFile()).bytes;

    delegate.applicationWillTerminate();

    EXPECT_EQ(FileUtil::read(paths.sessionsFile()).bytes, before);
}

TEST_F(AppDelegateTest, StartsItsHookIntakeAndStopsItAtShutdown)
{
    delegate.applicationDidFinishLaunching({"velquist"});

    EXPECT_EQ(FileUtil::read(paths.appPathFile()).bytes, appFile.string());
    EXPECT_TRUE(fs::exists(paths.installedHelper()));
    EXPECT_NE(home.read(".claude/settings.json").find("quorvel"), std::string::npos);
    ASSERT_NE(delegate.gateway(), nullptr);
    EXPECT_TRUE(delegate.gateway()->isListening());
    EXPECT_TRUE(fs::exists(paths.socketPath()));
    EXPECT_NE(delegate.dispatcher().resolver(AgentKind::claudeCode), nullptr);

    delegate.applicationWillTerminate();

    EXPECT_FALSE(fs::exists(paths.socketPath()));
    EXPECT_EQ(delegate.dispatcher().resolver(AgentKind::claudeCode), nullptr);
}

TEST_F(AppDelegateTest, RestoredSessionsOfAnAgentWithoutAnAdapterAreSweptOnceTheirOwnerIsGone)
{
    // Codex was followed in an earlier run; this run finds no configuration folder of it.
    auto owner = std::make_unique<test::ChildProcess>(std::vector<std::string>{"/bin/sleep", "600"});
    Session restored = liveSession("codex:c1", "/home/dev/app");
    restored.agent = AgentKind::codex;
    restored.terminal.ownerPID = owner->pid();
    restored.updatedAt = clock.now();
    save({restored, liveSession("claude:c2", "/home/dev/other")});
    delegate.applicationDidFinishLaunching({"velquist"});
    ASSERT_EQ(adapterEngines(), std::vector<std::string>{"claude"});
    ASSERT_TRUE(delegate.store().session("codex:c1"));

    clock.advance(std::chrono::seconds(60));
    EXPECT_TRUE(delegate.store().session("codex:c1"));
    owner.reset();
    clock.advance(std::chrono::seconds(60));
    EXPECT_FALSE(delegate.store().session("codex:c1"));
    EXPECT_TRUE(delegate.store().session("claude:c2"));
    delegate.applicationWillTerminate();
}

TEST(AppDelegateEnginesTest, OnlyTheAgentsFoundGetAnAdapter)
{
    const struct
    {
        std::vector<std::string> folders;
        std::vector<std::string> files;
        std::vector<std::string> engines;
    } cases[] = {
        {{}, {}, {"claude"}},
        {{".codex", ".qwen"}, {}, {"claude", "codex", "qwen"}},
        {{}, {".gemini"}, {"claude", "gemini"}},
        {{".codex", ".cursor", ".gemini", ".qwen"}, {}, {"claude", "codex", "cursor", "gemini", "qwen"}},
    };
    for (const auto& c : cases) {
        Harness harness;
        for (const auto& folder : c.folders)
            fs::create_directories(harness.home.path() / folder);
        for (const auto& file : c.files)
            harness.home.write(file, "not a folder");
        harness.delegate.applicationDidFinishLaunching({"velquist"});
        EXPECT_EQ(harness.adapterEngines(), c.engines);
    }
}

TEST(AppDelegateEnginesTest, OpenCodeIsFollowedOnlyWhenItsConfigurationFolderExists)
{
    {
        Harness harness;
        harness.delegate.applicationDidFinishLaunching({"velquist"});
        EXPECT_EQ(harness.delegate.openCodeAdapter(), nullptr);
        EXPECT_EQ(harness.delegate.dispatcher().resolver(AgentKind::opencode), nullptr);
    }
    Harness harness;
    fs::create_directories(harness.home.path() / ".config/opencode");
    harness.delegate.applicationDidFinishLaunching({"velquist"});
    OpenCodeAdapter* adapter = harness.delegate.openCodeAdapter();
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(harness.delegate.dispatcher().resolver(AgentKind::opencode), adapter);
    EXPECT_FALSE(adapter->isStopped());

    harness.delegate.applicationWillTerminate();
    EXPECT_TRUE(adapter->isStopped());
    test::waitUntil([&] { return !adapter->isDiscovering(); });
}

TEST_F(AppDelegateTest, ASocketThatCannotStartStopsNothingElse)
{
    // The socket's folder cannot be made where a file stands.
    home.write(".local/share/Velquist", "a file where the folder should be");

    delegate.applicationDidFinishLaunching({"velquist", "--mock-data"});

    ASSERT_NE(delegate.gateway(), nullptr);
    EXPECT_FALSE(delegate.gateway()->isListening());
    EXPECT_NE(delegate.dispatcher().resolver(AgentKind::claudeCode), nullptr);
    EXPECT_EQ(delegate.store().sessions().size(), 7u);
}

TEST_F(AppDelegateTest, UninstallingLeavesEachAgentWithOnlyTheUsersOwnEntries)
{
    // The user's own hooks and settings, in every agent the start-up installs into.
    const std::vector<std::pair<std::string, std::string>> usersOwn = {
        {".claude/settings.json",
         R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"type":"command","command":"notify-send done"}]}]}})"},
        {".codex/hooks.json",
         R"({"hooks":{"PreToolUse":[{"matcher":"Bash","hooks":[{"type":"command","command":"audit"}]}]}})"},
        {".cursor/hooks.json", R"({"version":1,"hooks":{"stop":[{"command":"say hi"}]}})"},
        {".gemini/settings.json", R"({"theme":"dark"})"},
        {".qwen/settings.json", R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"bell"}]}]}})"},
    };
    for (const auto& [file, text] : usersOwn)
        home.write(file, text);
    delegate.applicationDidFinishLaunching({"velquist"});
    for (const auto& [file, text] : usersOwn)
        ASSERT_NE(home.read(file).find("quorvel"), std::string::npos) << file;

    delegate.uninstaller().removeEverything();
    ASSERT_TRUE(test::waitUntil([&] { return quitRequests == 1; }));
    delegate.applicationWillTerminate();

    for (const auto& [file, text] : usersOwn)
        EXPECT_EQ(Json::parse(home.read(file)), Json::parse(text)) << file;
    EXPECT_FALSE(fs::exists(paths.support())) << "the shutdown's save brings nothing back";
    EXPECT_EQ(trash.trashed, std::vector<fs::path>{appFile});
    EXPECT_EQ(loginItem.calls, std::vector<std::string>{"disable"});
    EXPECT_FALSE(delegate.gateway()->isListening());
}

// A Claude Code whose executable knows the subagent events, where the version probe looks.
void installClaudeWithSubagentEvents(const test::TemporaryFolder& home)
{
    home.write(".local/share/claude/versions/2.1.0", "...SubagentStart...SubagentStop...");
}

TEST_F(AppDelegateTest, SubagentHooksFollowOnceTheProbeHasAnswered)
{
    installClaudeWithSubagentEvents(home);

    delegate.applicationDidFinishLaunching({"velquist"});

    EXPECT_TRUE(test::waitUntil(
        [&] { return home.read(".claude/settings.json").find("SubagentStop") != std::string::npos; }));
}

TEST_F(AppDelegateTest, UninstallingRightAfterTheStartCancelsTheProbesLateInstall)
{
    installClaudeWithSubagentEvents(home);
    delegate.applicationDidFinishLaunching({"velquist"});

    delegate.uninstaller().removeEverything();
    test::drain({&workers, QThreadPool::globalInstance()});

    EXPECT_EQ(home.read(".claude/settings.json").find("quorvel"), std::string::npos);
}

TEST_F(AppDelegateTest, AgentsWithoutHooksAreFoundFromTheStartUntilTheShutdown)
{
    test::AgentOnTerminal agent("kimi", home.path());
    ASSERT_GT(agent.pid(), 0);
    const std::string id = "detected:" + agent.tty();

    delegate.applicationDidFinishLaunching({"velquist"});
    // The child may still be on its way to exec at the first scan.
    for (int tick = 0; tick < 50 && !delegate.store().session(id); ++tick) {
        test::settle(std::chrono::milliseconds(20));
        clock.advance(std::chrono::seconds(5));
    }
    ASSERT_NE(delegate.store().session(id), nullptr);
    EXPECT_EQ(delegate.store().session(id)->detectedName, "Kimi");

    delegate.applicationWillTerminate();
    EXPECT_EQ(clock.pendingCount(), 0u) << "the scan timer stops with the application";
}

} // namespace

TEST_F(AppDelegateTest, SilenceRulesOfTheFormerSupportFolderApplyFromTheFirstStart)
{
    home.write(".local/share/Tarrowin/silence-rules.json",
               R"([{"id":"11111111-1111-1111-1111-111111111111","field":"prompt","match":"prefix",)"
               R"("pattern":"warmup","isEnabled":true}])");
    delegate.applicationDidFinishLaunching({"velquist"});
    const auto rules = delegate.store().silence().customRules();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules.front().pattern, "warmup");
}
