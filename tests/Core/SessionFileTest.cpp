#include "Core/SessionFile.h"
#include "Shared/FileUtil.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <future>
#include <gtest/gtest.h>
#include <latch>

using namespace velquist;

namespace {

Session named(const std::string& id)
{
    Session session;
    session.id = id;
    return session;
}

std::string slurp(const std::filesystem::path& path)
{
    return FileUtil::read(path).bytes;
}

// A pool whose only thread is held until release(): what is handed to it waits in its queue.
struct BusyPool
{
    BusyPool()
    {
        pool.setMaxThreadCount(1);
        pool.start([this] {
            started.count_down();
            released.wait();
        });
        started.wait();
    }
    ~BusyPool()
    {
        release();
        pool.waitForDone();
    }
    void release()
    {
        if (!releasedOnce) {
            releasedOnce = true;
            gate.set_value();
        }
    }

    QThreadPool pool;
    std::latch started{1};
    std::promise<void> gate;
    std::shared_future<void> released = gate.get_future().share();
    bool releasedOnce = false;
};

} // namespace

// The pool cleared at shutdown drops the queued write: flushing must still write it, and return.
TEST(SessionFileTest, FlushWritesASaveStillQueuedEvenWhenThePoolDropsIt)
{
    test::TemporaryFolder folder;
    BusyPool busy;
    SessionFile file(folder.path() / "sessions.json", busy.pool);

    file.writeInBackground({named("claude:old")});
    file.writeInBackground({named("claude:new")});
    busy.pool.clear();
    file.flush();

    const std::string saved = slurp(file.path());
    EXPECT_NE(saved.find("claude:new"), std::string::npos);
    EXPECT_EQ(saved.find("claude:old"), std::string::npos) << "only the newest pending write is written";
}

// A write queued on the pool that runs after a newer one was written at once leaves the file alone.
TEST(SessionFileTest, AnOlderBackgroundWriteNeverGoesOverANewerOne)
{
    test::TemporaryFolder folder;
    BusyPool busy;
    SessionFile file(folder.path() / "sessions.json", busy.pool);

    file.writeInBackground({named("claude:queued")});
    file.write({named("claude:latest")});
    busy.release();
    busy.pool.waitForDone();
    file.flush();

    EXPECT_NE(slurp(file.path()).find("claude:latest"), std::string::npos);
    EXPECT_EQ(slurp(file.path()).find("claude:queued"), std::string::npos);
}

// After uninstalling, a write still queued must not bring the file (and its folder) back.
TEST(SessionFileTest, ADiscardedWriteNeverReachesTheFile)
{
    test::TemporaryFolder folder;
    BusyPool busy;
    const auto path = folder.path() / "support/sessions.json";
    {
        SessionFile file(path, busy.pool);
        file.writeInBackground({named("claude:a")});
        file.discard();
        busy.release();
        busy.pool.waitForDone();
        file.flush();
    }
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

TEST(SessionFileTest, GoingAwayWritesWhatIsPendingAndLoadReadsItBack)
{
    test::TemporaryFolder folder;
    BusyPool busy;
    const auto path = folder.path() / "sessions.json";
    {
        SessionFile file(path, busy.pool);
        EXPECT_TRUE(file.load().empty()) << "a missing file holds no sessions";
        file.writeInBackground({named("claude:a"), named("codex:b")});
    }
    QThreadPool pool;
    SessionFile again(path, pool);
    const std::vector<Session> loaded = again.load();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].id, "claude:a");
    EXPECT_EQ(loaded[1].id, "codex:b");
}
