#include "support/AttentionWorld.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;
using S = SessionStatus;
using Strings = std::vector<std::string>;

namespace {

constexpr std::int64_t terminalOwner = test::AttentionWorld::terminalOwner;
constexpr pid_t terminalApp = test::AttentionWorld::terminalApp;

// Public, so the cases' tables can reach the doubles.
class AttentionCoordinatorTest : public ::testing::Test, public test::AttentionWorld
{
  public:
    AttentionCoordinatorTest()
    {
        QObject::connect(&coordinator, &AttentionCoordinator::desiredPresentationChanged,
                         [this] { shown.emplace_back(toString(coordinator.desiredPresentation())); });
    }

    void advance(std::chrono::milliseconds step) { clock.advance(step); }
    // What was shown and heard since the last look, then forgotten.
    Strings takeShown() { return std::exchange(shown, {}); }
    Strings takeSounds()
    {
        Strings played = sound.played();
        sound.clear();
        return played;
    }

    Strings shown;
};

const Strings peek{"peeking", "collapsed"};

TEST_F(AttentionCoordinatorTest, AnAlertSoundsOpensForEightSecondsThenPeeksAtOneFiveAndFifteenMinutes)
{
    ask("claude:a");
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    EXPECT_EQ(takeShown(), Strings{"expanded"});
    advance(7999ms);
    EXPECT_TRUE(takeShown().empty());
    advance(1ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
    advance(60s - 8s);
    EXPECT_EQ(takeShown(), Strings{"peeking"});
    advance(1200ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
    advance(240s);
    EXPECT_EQ(takeShown(), peek);
    advance(600s);
    EXPECT_EQ(takeShown(), peek);
    advance(3600s);
    EXPECT_TRUE(takeShown().empty());
    // A peek makes no sound.
    EXPECT_TRUE(takeSounds().empty());
}

TEST_F(AttentionCoordinatorTest, AQuestionPlaysTheQuestionSound)
{
    ask("claude:a", true);
    EXPECT_EQ(takeSounds(), Strings{"question"});
}

TEST_F(AttentionCoordinatorTest, ANewAlertReplacesTheLadderAndCountsFromItself)
{
    ask("claude:a");
    advance(30s);
    ask("claude:b");
    EXPECT_EQ(takeSounds(), (Strings{"permission", "permission"}));
    EXPECT_EQ(takeShown(), (Strings{"expanded", "collapsed", "expanded"}));
    advance(40s); // 70 s after the first alert, 40 after the second
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
    advance(20s + 1200ms);
    EXPECT_EQ(takeShown(), peek);
}

TEST_F(AttentionCoordinatorTest, AnAnsweredRequestSettlesAndNeverPeeks)
{
    ask("claude:a");
    advance(10s);
    setStatus("claude:a", S::Working{});
    advance(1h);
    EXPECT_EQ(takeShown(), (Strings{"expanded", "collapsed"}));
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(AttentionCoordinatorTest, AnAnswerWhileOpenCollapsesAfterTheSettleDelay)
{
    ask("claude:a");
    advance(2s);
    setStatus("claude:a", S::Working{});
    advance(1499ms);
    EXPECT_EQ(takeShown(), Strings{"expanded"});
    advance(1ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
}

TEST_F(AttentionCoordinatorTest, SuppressedFirstAlertsStaySilentAndCollapsed)
{
    struct Case
    {
        const char* name;
        std::function<void(AttentionCoordinatorTest&)> suppress;
    };
    const Case cases[] = {
        {"terminal in front", [](auto& t) { t.frontmost.setFrontmostPid(terminalApp); }},
        {"screen locked", [](auto& t) { t.screenLock.setLocked(true); }},
        {"privacy", [](auto& t) { t.privacy.setActive(true); }},
        {"snoozed", [](auto& t) { t.coordinator.snooze(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AttentionCoordinatorTest& t = *this;
        frontmost.setFrontmostPid(std::nullopt);
        screenLock.setLocked(false);
        privacy.setActive(false);
        coordinator.cancelSnooze();
        store.remove("claude:a");
        advance(1h);
        takeShown();
        takeSounds();

        c.suppress(t);
        ask("claude:a");
        advance(59s);
        EXPECT_TRUE(takeSounds().empty());
        Strings shownNow = takeShown();
        EXPECT_TRUE(std::ranges::find(shownNow, "expanded") == shownNow.end());
        advance(800s); // the snooze's own end would announce the request again
        shownNow = takeShown();
        EXPECT_TRUE(std::ranges::find(shownNow, "peeking") == shownNow.end());
    }
}

TEST_F(AttentionCoordinatorTest, PeeksResumeOnceTheTerminalLeavesTheFront)
{
    frontmost.setFrontmostPid(terminalApp);
    ask("claude:a");
    advance(60s);
    EXPECT_TRUE(takeShown().empty());
    frontmost.setFrontmostPid(1);
    advance(241200ms);
    EXPECT_EQ(takeShown(), peek);
}

TEST_F(AttentionCoordinatorTest, ASessionWithoutAKnownTerminalIsNeverSuppressed)
{
    frontmost.setFrontmostPid(terminalApp);
    ask("claude:a", false, std::nullopt);
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    advance(1s);                   // b becomes the newest request
    ask("claude:b", false, 31337); // looked up, but no application owns it
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    EXPECT_EQ(terminals.asked(), (std::vector<std::int64_t>{31337}));
}

TEST_F(AttentionCoordinatorTest, TheLadderWaitsForTheTerminalLookupAndACancelledOneStaysQuiet)
{
    terminals.add(5000, RunningApp{terminalApp, "org.gnome.Terminal", "Terminal", true});
    terminals.setHolding(true);
    frontmost.setFrontmostPid(terminalApp);
    ask("claude:a", false, 5000);
    EXPECT_TRUE(takeSounds().empty());
    coordinator.snooze(); // cancels the ladder that waits
    terminals.answerHeld();
    EXPECT_TRUE(takeSounds().empty());
    EXPECT_EQ(takeShown(), Strings{});

    coordinator.cancelSnooze(); // looked up now: the terminal is in front, so the alert is silent
    EXPECT_TRUE(takeSounds().empty());
    frontmost.setFrontmostPid(1);
    coordinator.cancelSnooze();
    coordinator.snooze();
    coordinator.cancelSnooze();
    EXPECT_EQ(takeSounds(), Strings{"permission"});
}

TEST_F(AttentionCoordinatorTest, AUserAwayForTwentyMinutesGetsOnePeekWithinFiveSecondsOfReturning)
{
    ask("claude:a");
    advance(10s);
    idle.setSeconds(1300);
    takeShown();
    advance(1200s - 10s);
    EXPECT_TRUE(takeShown().empty());
    EXPECT_GT(idle.refreshes(), 1);
    idle.setSeconds(0);
    advance(5s);
    EXPECT_EQ(takeShown(), Strings{"peeking"});
    advance(1h);
    // The 300- and 900-second steps were already due and fall inside the peek spacing.
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(AttentionCoordinatorTest, WithOpeningOffTheAlertOnlySounds)
{
    defaults.setValue("opensOnAttention", false);
    ask("claude:a");
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    advance(1h);
    EXPECT_TRUE(takeShown().empty());
}

TEST_F(AttentionCoordinatorTest, ALapsedSnoozeStaysQuietUntilTheNextAlert)
{
    ask("claude:a");
    advance(2s);
    coordinator.snooze();
    EXPECT_TRUE(coordinator.isSnoozed());
    const auto until = coordinator.snoozedUntil();
    takeShown();
    takeSounds();
    ask("claude:b", true); // an alert while snoozed neither sounds nor opens
    advance(60s);
    EXPECT_TRUE(takeSounds().empty());
    EXPECT_TRUE(takeShown().empty());

    int marks = 0;
    QObject::connect(&coordinator, &AttentionCoordinator::snoozedUntilChanged, [&] { ++marks; });
    advance(900s - 60s);
    EXPECT_FALSE(coordinator.isSnoozed());
    EXPECT_EQ(coordinator.snoozedUntil(), until); // kept, it no longer counts
    EXPECT_EQ(marks, 1);                          // the bar is told to stop showing it
    advance(1h);
    EXPECT_TRUE(takeSounds().empty());
    EXPECT_TRUE(takeShown().empty());

    ask("claude:c"); // a new signal alerts as usual
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    EXPECT_EQ(takeShown(), Strings{"expanded"});
    coordinator.cancelSnooze(); // a lapsed snooze has nothing to cancel
    EXPECT_EQ(marks, 1);
}

TEST_F(AttentionCoordinatorTest, CancellingASnoozeStartsTheLadderAtOnce)
{
    ask("claude:a");
    coordinator.snooze();
    takeSounds();
    int marks = 0;
    QObject::connect(&coordinator, &AttentionCoordinator::snoozedUntilChanged, [&] { ++marks; });
    coordinator.cancelSnooze();
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    EXPECT_EQ(coordinator.desiredPresentation(), PanelPresentation::expanded);
    coordinator.cancelSnooze(); // nothing to cancel
    EXPECT_EQ(marks, 1);
}

TEST_F(AttentionCoordinatorTest, ASecondSnoozeExtendsTheFirstAndAClockChangeDoesNotStretchIt)
{
    coordinator.snooze();
    advance(100s);
    coordinator.snooze();
    clock.setWallTime(clock.now() - 24h);
    advance(850s);
    EXPECT_TRUE(coordinator.isSnoozed());
    advance(50s);
    EXPECT_FALSE(coordinator.isSnoozed());
}

TEST_F(AttentionCoordinatorTest, SwitchingPrivacyOffAnnouncesAWaitingRequest)
{
    privacy.setActive(true);
    ask("claude:a");
    EXPECT_TRUE(takeSounds().empty());
    privacy.setActive(false);
    coordinator.privacyModeDidTurnOff();
    EXPECT_EQ(takeSounds(), Strings{"permission"});
    EXPECT_EQ(takeShown(), Strings{"expanded"});

    coordinator.snooze();
    coordinator.privacyModeDidTurnOff();
    EXPECT_TRUE(takeSounds().empty());
}

TEST_F(AttentionCoordinatorTest, UsageWarningsAreDeliveredOnlyWhenNothingHoldsThemBack)
{
    struct Case
    {
        const char* name;
        std::function<void(AttentionCoordinatorTest&)> holdBack;
    };
    const Case cases[] = {
        {"snoozed", [](auto& t) { t.coordinator.snooze(); }},
        {"locked", [](auto& t) { t.screenLock.setLocked(true); }},
        {"private", [](auto& t) { t.privacy.setActive(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.holdBack(*this);
        takeShown();
        EXPECT_FALSE(coordinator.announceUsageWarning("weekly"));
        EXPECT_TRUE(takeSounds().empty());
        EXPECT_TRUE(takeShown().empty());
        coordinator.cancelSnooze();
        screenLock.setLocked(false);
        privacy.setActive(false);
    }
    EXPECT_TRUE(coordinator.announceUsageWarning("weekly"));
    EXPECT_EQ(takeSounds(), Strings{"done"});
    advance(2s);
    EXPECT_EQ(takeShown(), peek);
}

TEST_F(AttentionCoordinatorTest, AUsageWarningWhileTheFirstAlertIsOpenOnlySounds)
{
    ask("claude:a");
    takeSounds();
    EXPECT_TRUE(coordinator.announceUsageWarning("session"));
    EXPECT_EQ(takeSounds(), Strings{"done"});
    EXPECT_EQ(coordinator.desiredPresentation(), PanelPresentation::expanded);
}

TEST_F(AttentionCoordinatorTest, AFinishedSessionFlashesUnlessSomeoneStillWaits)
{
    Session working;
    working.id = "claude:w";
    working.status = S::Working{};
    startQuietly(working);
    setStatus("claude:w", S::Done{});
    EXPECT_EQ(takeSounds(), Strings{"done"});
    advance(5999ms);
    EXPECT_EQ(takeShown(), Strings{"expanded"});
    advance(1ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});

    ask("claude:a");
    advance(10s);
    takeSounds();
    takeShown();
    setStatus("claude:w", S::Working{});
    setStatus("claude:w", S::Done{});
    EXPECT_TRUE(takeSounds().empty());
    advance(50s);
    EXPECT_EQ(takeShown(), Strings{"peeking"}); // the ladder went on
}

TEST_F(AttentionCoordinatorTest, ANewSessionSoundsWhileSnoozedButNotWhileLockedOrPrivate)
{
    auto start = [this](const std::string& id) {
        Session session;
        session.id = id;
        store.upsert(session);
        return takeSounds();
    };
    coordinator.snooze();
    EXPECT_EQ(start("claude:1"), Strings{"start"});
    screenLock.setLocked(true);
    EXPECT_TRUE(start("claude:2").empty());
    screenLock.setLocked(false);
    privacy.setActive(true);
    EXPECT_TRUE(start("claude:3").empty());
}

TEST_F(AttentionCoordinatorTest, TextEntryKeepsThePanelOpenUntilItsLastFieldCloses)
{
    coordinator.setTextEntryActive(true);
    coordinator.setTextEntryActive(true);
    EXPECT_EQ(takeShown(), Strings{"expanded"});
    coordinator.noteUserLooked(); // no task is running: the field keeps the panel open
    coordinator.setTextEntryActive(false);
    EXPECT_TRUE(coordinator.isTextEntryActive());
    advance(10s);
    EXPECT_TRUE(takeShown().empty());
    coordinator.setTextEntryActive(false);
    EXPECT_FALSE(coordinator.isTextEntryActive());
    advance(1500ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
    coordinator.setTextEntryActive(false); // more closes than opens change nothing
    EXPECT_FALSE(coordinator.isTextEntryActive());
}

TEST_F(AttentionCoordinatorTest, TextEntryEndingWhileARequestWaitsLeavesThePanelOpen)
{
    ask("claude:a");
    coordinator.setTextEntryActive(true);
    advance(20s);
    coordinator.setTextEntryActive(false);
    advance(1h);
    EXPECT_EQ(coordinator.desiredPresentation(), PanelPresentation::expanded);
}

TEST_F(AttentionCoordinatorTest, LookingAtThePanelStopsTheLadder)
{
    ask("claude:a");
    advance(1s);
    coordinator.noteUserLooked();
    EXPECT_EQ(takeShown(), (Strings{"expanded", "collapsed"}));
    advance(1h);
    EXPECT_TRUE(takeShown().empty());
}

TEST_F(AttentionCoordinatorTest, TimeScaleShortensTheLadderButNotBelowItsFloors)
{
    coordinator.setTimeScale(0.001);
    ask("claude:a");
    advance(50ms);
    advance(10ms); // 60 ms: the first peek, held for at least 50 ms
    EXPECT_EQ(takeShown(), (Strings{"expanded", "collapsed", "peeking"}));
    advance(50ms);
    EXPECT_EQ(takeShown(), Strings{"collapsed"});
}

} // namespace
