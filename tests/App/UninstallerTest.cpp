#include "App/Uninstaller.h"

#include "Core/SessionStore.h"
#include "Shared/HookCleanup.h"
#include "Shared/Json.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingLoginItem.h"
#include "support/RecordingTrash.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Each agent's file holding the user's own hooks and settings, before and after ours are added.
struct AgentFile
{
    std::string relative;
    std::string usersOwn;
    std::string withOurs;
};

std::vector<AgentFile> agentFiles(const HomePaths& paths)
{
    const std::string user = R"({"type":"command","command":"notify-send done"})";
    auto ourCommand = [&paths](const std::string& engine) {
        return "'" + paths.installedHelper().string() + "' --engine " + engine;
    };
    auto ours = [&](const std::string& engine) {
        return R"({"type":"command","command":")" + ourCommand(engine) + R"(","timeout":86400})";
    };
    return {
        {".claude/settings.json", R"({"model":"opus","hooks":{"Stop":[{"hooks":[)" + user + R"(]}]}})",
         R"({"model":"opus","hooks":{"Stop":[{"hooks":[)" + user + "," + ours("claude") +
             R"(]}],"PermissionRequest":[{"matcher":"*","hooks":[)" + ours("claude") + "]}]}}"},
        {".codex/hooks.json", R"({})", R"({"hooks":{"PreToolUse":[{"hooks":[)" + ours("codex") + "]}]}}"},
        {".cursor/hooks.json", R"({"version":1,"hooks":{"stop":[{"command":"say hi"}]}})",
         R"({"version":1,"hooks":{"stop":[{"command":"say hi"},{"command":")" + ourCommand("cursor") +
             R"("}]}})"},
        {".gemini/settings.json", R"({"theme":"dark"})",
         R"({"theme":"dark","hooks":{"BeforeTool":[{"hooks":[)" + ours("gemini") + "]}]}}"},
        {".qwen/settings.json", R"({"hooks":{"Stop":[{"hooks":[)" + user + R"(]}]}})",
         R"({"hooks":{"Stop":[{"hooks":[)" + user + R"(]}],"PreToolUse":[{"hooks":[)" + ours("qwen") +
             "]}]}}"},
    };
}

class UninstallerTest : public ::testing::Test
{
  protected:
    UninstallerTest()
        : store(clock, clock, home.path() / ".local/share/Velquist/sessions.json"),
          uninstaller(
              paths, store, defaults, loginItem, trash, {appFile}, [this] { stopHookWriters(); },
              [this] { ++quitRequests; }, [this](const std::string& notice) { told.push_back(notice); })
    {
        for (const auto& file : agentFiles(paths))
            home.write(file.relative, file.withOurs);
        home.write(".local/share/Velquist/bin/quorvel", "client");
        home.write(".local/share/Velquist/app-path", appFile.string());
        home.write(".local/share/Velquist/sessions.json", "[]");
        defaults.setValue("opensOnAttention", false);
        loginItem.setEnabled(true);
    }

    // Stands for stopping the probe and the adapters: the hooks must still be there at that point.
    void stopHookWriters()
    {
        events.push_back(home.read(".claude/settings.json").find("quorvel") != std::string::npos
                             ? "stopped while hooks installed"
                             : "stopped after the strip");
    }

    void expectOnlyTheUsersOwnEntries()
    {
        for (const auto& file : agentFiles(paths)) {
            EXPECT_EQ(Json::parse(home.read(file.relative)), Json::parse(file.usersOwn)) << file.relative;
            EXPECT_EQ(Json::parse(home.read(file.relative + ".velquist.bak")), Json::parse(file.withOurs))
                << file.relative;
        }
    }

    test::TemporaryFolder home;
    const HomePaths paths{home.path()};
    const fs::path appFile = home.path() / "opt/velquist/bin/velquist";
    test::ManualScheduler clock;
    test::MemoryDefaults defaults;
    test::RecordingLoginItem loginItem;
    test::RecordingTrash trash;
    SessionStore store;
    std::vector<std::string> events;
    int quitRequests = 0;
    std::vector<std::string> told;
    Uninstaller uninstaller;
};

TEST_F(UninstallerTest, RemovesEveryTraceAndQuits)
{
    Session session;
    session.id = "claude:abc";
    session.terminal.ownerPID = ::getpid();
    store.upsert(session);

    uninstaller.removeEverything();

    EXPECT_EQ(events, std::vector<std::string>{"stopped while hooks installed"});
    expectOnlyTheUsersOwnEntries();
    EXPECT_EQ(loginItem.calls, std::vector<std::string>{"disable"});
    EXPECT_FALSE(fs::exists(paths.support()));
    EXPECT_EQ(defaults.snapshot(), nlohmann::json::object());
    EXPECT_EQ(trash.trashed, std::vector<fs::path>{appFile});
    EXPECT_TRUE(trash.revealed.empty());
    EXPECT_TRUE(told.empty());

    // The quit comes from the event loop, and the shutdown's save then writes nothing.
    EXPECT_EQ(quitRequests, 0);
    ASSERT_TRUE(test::waitUntil([&] { return quitRequests == 1; }));
    clock.advance(5s);
    store.saveNow();
    EXPECT_FALSE(fs::exists(paths.support()));
}

TEST_F(UninstallerTest, FailuresOnTheWayStillEndInAQuit)
{
    loginItem.failure = "never registered";
    trash.failure = "read-only file system";
    fs::remove_all(paths.support());

    uninstaller.removeEverything();

    expectOnlyTheUsersOwnEntries();
    EXPECT_EQ(trash.revealed, std::vector<fs::path>{appFile});
    ASSERT_TRUE(test::waitUntil([&] { return quitRequests == 1; }));
}

TEST_F(UninstallerTest, ASystemWideInstallKeepsItsProgramsForThePackageManager)
{
    uninstaller.setFolderWritable([this](const fs::path& folder) { return folder != appFile.parent_path(); });

    uninstaller.removeEverything();

    // The user's own traces go as always.
    expectOnlyTheUsersOwnEntries();
    EXPECT_EQ(loginItem.calls, std::vector<std::string>{"disable"});
    EXPECT_FALSE(fs::exists(paths.support()));
    // The programs are not touched, and the user learns who removes them.
    EXPECT_TRUE(trash.trashed.empty());
    EXPECT_TRUE(trash.revealed.empty());
    EXPECT_EQ(told, std::vector<std::string>{Uninstaller::packageManagerNotice(appFile.parent_path())});
    EXPECT_NE(told.front().find("package manager"), std::string::npos);
    ASSERT_TRUE(test::waitUntil([&] { return quitRequests == 1; }));
}

TEST_F(UninstallerTest, HooksGoEvenWhenTheLockCannotBeHad)
{
    // Another holder keeps the hooks lock past the wait.
    HookLock other(paths, 0ms);
    ASSERT_TRUE(other.held());

    uninstaller.removeEverything();

    expectOnlyTheUsersOwnEntries();
}

} // namespace
