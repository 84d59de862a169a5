#include "Characters/CharacterDirector.h"
#include "Characters/MoodResolver.h"
#include "Core/SessionStore.h"
#include "TestSession.h"
#include "support/ManualScheduler.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using S = SessionStatus;

namespace {

SessionStatus asking()
{
    return S::NeedsPermission{PermissionRequest{"Bash", "ls", std::nullopt, false}};
}

Session make(const std::string& id, SessionStatus status)
{
    return test::characterSession(id, std::move(status));
}

class CharacterDirectorTest : public ::testing::Test
{
  protected:
    CharacterDirectorTest()
        : silence(folder.path() / "rules.json"), store(clock, clock, folder.path() / "s.json", &silence)
    {
        QObject::connect(&store, &SessionStore::alertRaised, &store, [this] {
            if (director)
                director->handleAlert(store.alertRevision(), store.alertSignal());
        });
        QObject::connect(&store, &SessionStore::sessionsChanged, &store, [this] {
            if (director)
                director->recompute();
        });
    }

    void start() { director = std::make_unique<CharacterDirector>(store, clock); }

    void setStatus(const std::string& id, SessionStatus status)
    {
        store.update(id, [&](Session& s) { s.status = status; });
    }

    test::TemporaryFolder folder;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    std::unique_ptr<CharacterDirector> director;
};

} // namespace

// The mood the store's counts call for, over the same sessions in any order.
TEST_F(CharacterDirectorTest, AskingWinsOverWorkingWhateverTheOrder)
{
    const struct
    {
        std::vector<SessionStatus> statuses;
        CharacterMood mood;
    } cases[] = {
        {{}, CharacterMood::resting},
        {{S::Idle{}, S::Done{}, S::Ended{}}, CharacterMood::resting},
        {{S::Working{}}, CharacterMood::active},
        {{S::Idle{}, S::Working{"Thinking"}}, CharacterMood::active},
        {{S::Working{}, S::WaitingForInput{}}, CharacterMood::alert},
        {{asking(), S::Working{}}, CharacterMood::alert},
        {{S::Done{}, asking()}, CharacterMood::alert},
    };
    for (const auto& c : cases) {
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < c.statuses.size(); ++i) {
            ids.push_back("claude:" + std::to_string(i));
            store.upsert(make(ids.back(), c.statuses[i]));
        }
        EXPECT_EQ(MoodResolver::baseMood(store.displaySummary()), c.mood) << c.statuses.size();
        for (const std::string& id : ids)
            store.remove(id);
    }
}

TEST_F(CharacterDirectorTest, StartsFromTheSessionsAndFollowsThem)
{
    start();
    EXPECT_EQ(director->mood(), CharacterMood::resting);
    store.upsert(make("claude:a", S::Working{}));
    EXPECT_EQ(director->mood(), CharacterMood::active);
    store.upsert(make("claude:b", S::Idle{}));
    setStatus("claude:b", S::WaitingForInput{});
    EXPECT_EQ(director->mood(), CharacterMood::alert);
    store.remove("claude:b");
    EXPECT_EQ(director->mood(), CharacterMood::active);

    director.reset();
    store.upsert(make("claude:c", asking()));
    start();
    EXPECT_EQ(director->mood(), CharacterMood::alert) << "a new director reads the store at once";
}

TEST_F(CharacterDirectorTest, AFinishedSessionCelebratesForThreeSeconds)
{
    store.upsert(make("claude:a", S::Working{}));
    store.upsert(make("claude:b", S::Working{}));
    start();
    std::vector<CharacterMood> seen;
    QObject::connect(director.get(), &CharacterDirector::moodChanged,
                     [&](CharacterMood m) { seen.push_back(m); });

    setStatus("claude:a", S::Done{});
    EXPECT_EQ(director->mood(), CharacterMood::celebrating);
    clock.advance(1s);
    store.upsert(make("claude:c", S::Idle{}));
    setStatus("claude:b", S::Idle{});
    EXPECT_EQ(director->mood(), CharacterMood::celebrating) << "changes wait for the end";
    clock.advance(1999ms);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating);
    clock.advance(1ms);
    EXPECT_EQ(director->mood(), CharacterMood::resting) << "the end catches up";
    EXPECT_EQ(seen, (std::vector<CharacterMood>{CharacterMood::celebrating, CharacterMood::resting}));
}

TEST_F(CharacterDirectorTest, AskingEndsACelebrationAtOnce)
{
    store.upsert(make("claude:a", S::Working{}));
    store.upsert(make("claude:b", S::Working{}));
    start();
    setStatus("claude:a", S::Done{});
    clock.advance(1s);
    setStatus("claude:b", asking());
    EXPECT_EQ(director->mood(), CharacterMood::alert);
    EXPECT_FALSE(director->isCelebrating());
    setStatus("claude:b", S::Working{});
    EXPECT_EQ(director->mood(), CharacterMood::active);
    clock.advance(5s);
    EXPECT_EQ(director->mood(), CharacterMood::active) << "the old timer changes nothing";
}

TEST_F(CharacterDirectorTest, ASecondFinishRestartsTheThreeSeconds)
{
    store.upsert(make("claude:a", S::Working{}));
    store.upsert(make("claude:b", S::Working{}));
    start();
    setStatus("claude:a", S::Done{});
    clock.advance(2s);
    setStatus("claude:b", S::Done{});
    clock.advance(2500ms);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating);
    clock.advance(500ms);
    EXPECT_EQ(director->mood(), CharacterMood::resting);
    EXPECT_FALSE(director->isCelebrating());
}

TEST_F(CharacterDirectorTest, EachRevisionIsHandledOnce)
{
    store.upsert(make("claude:a", S::Working{}));
    start();
    director->handleAlert(7, AlertSignal::doneFlash);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating);
    director->handleAlert(7, AlertSignal::attention);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating) << "same revision, other signal";
    director->handleAlert(8, std::nullopt);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating) << "no signal keeps a celebration";
    director->handleAlert(9, AlertSignal::cleared);
    director->handleAlert(10, AlertSignal::sessionStarted);
    EXPECT_EQ(director->mood(), CharacterMood::celebrating);
    clock.advance(3s);
    EXPECT_EQ(director->mood(), CharacterMood::active);
}

TEST_F(CharacterDirectorTest, ADiscardedDirectorLeavesNoTimer)
{
    store.upsert(make("claude:a", S::Working{}));
    start();
    clock.advance(2s); // let the store's save go
    setStatus("claude:a", S::Done{});
    director.reset();
    clock.advance(2s);
    EXPECT_EQ(clock.pendingCount(), 0u);
    clock.advance(5s);
}
