#include "App/AppDelegate.h"
#include "Shared/AppPaths.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingLoginItem.h"
#include "support/RecordingTrash.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest()
        : delegate({.clock = clock,
                    .scheduler = clock,
                    .defaults = defaults,
                    .loginItem = loginItem,
                    .trash = trash,
                    .appPath = home.path() / "opt/velquist/bin/velquist",
                    .ownFiles = {home.path() / "opt/velquist/bin/velquist"},
                    .quit = [this] { ++quitRequests; }})
    {
    }

    static Session liveSession(const std::string& id, const std::string& cwd)
    {
        Session session;
        session.id = id;
        session.cwd = cwd;
        session.status = SessionStatus::Working{"Reading"};
        session.terminal.ownerPID = ::getpid();
        return session;
    }

    static void save(const std::vector<Session>& sessions)
    {
        auto array = nlohmann::ordered_json::array();
        for (const auto& session : sessions)
            array.push_back(session.toJson());
        ASSERT_TRUE(FileUtil::ensurePrivateDirectory(AppPaths::appSupport()));
        ASSERT_TRUE(FileUtil::writeAtomically(AppPaths::sessionsFile(), Json::dump(array)));
    }

    test::TemporaryHome home;
    test::ManualScheduler clock;
    test::MemoryDefaults defaults;
    test::RecordingLoginItem loginItem;
    test::RecordingTrash trash;
    int quitRequests = 0;
    AppDelegate delegate;
};

TEST_F(AppDelegateTest, DemonstrationSessionsComeFirstAndSavedOnesReplaceThem)
{
    save({liveSession("mock-mobile", "/home/u/real"), liveSession("claude:abc", "/home/u/other")});

    delegate.applicationDidFinishLaunching({"velquist", "--mock-data"});

    EXPECT_EQ(delegate.store().sessions().size(), 8u);
    EXPECT_EQ(delegate.store().session("mock-mobile")->cwd, "/home/u/real");
    EXPECT_EQ(delegate.dispatcher().store(), &delegate.store());
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
    ASSERT_FALSE(fs::exists(AppPaths::sessionsFile()));

    delegate.applicationWillTerminate();

    EXPECT_NE(FileUtil::read(AppPaths::sessionsFile()).bytes.find("claude:new"), std::string::npos);
    EXPECT_EQ(clock.pendingCount(), 0u) << "no save is left to fire after the shutdown";
}

TEST_F(AppDelegateTest, AShutdownWithoutAStartUpLeavesTheSavedSessionsAlone)
{
    save({liveSession("claude:abc", "/home/u/project")});
    const std::string before = FileUtil::read(AppPaths::sessionsFile()).bytes;

    delegate.applicationWillTerminate();

    EXPECT_EQ(FileUtil::read(AppPaths::sessionsFile()).bytes, before);
}

TEST_F(AppDelegateTest, RecordsTheApplicationsPathForTheHookClient)
{
    delegate.applicationDidFinishLaunching({"velquist"});
    EXPECT_EQ(FileUtil::read(AppPaths::appPathFile()).bytes, (home.path() / "opt/velquist/bin/velquist").string());
}

TEST_F(AppDelegateTest, AfterUninstallingTheShutdownBringsNothingBack)
{
    delegate.applicationDidFinishLaunching({"velquist", "--mock-data"});
    ASSERT_TRUE(fs::exists(AppPaths::appSupport()));

    delegate.uninstaller().removeEverything();
    ASSERT_TRUE(test::waitUntil([&] { return quitRequests == 1; }));
    delegate.applicationWillTerminate();

    EXPECT_FALSE(fs::exists(AppPaths::appSupport()));
    EXPECT_EQ(trash.trashed, std::vector<fs::path>{home.path() / "opt/velquist/bin/velquist"});
    EXPECT_EQ(loginItem.calls, std::vector<std::string>{"disable"});
}

} // namespace
