#include "Characters/IntroDirector.h"
#include "Core/SessionStore.h"

#include "RecordingIntroCard.h"
#include "TestSession.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingPointerSource.h"
#include "support/RecordingScreenProvider.h"
#include "support/RecordingSoundSink.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;
using S = SessionStatus;
using Step = IntroStep;

namespace {

class IntroDirectorTest : public ::testing::Test
{
  protected:
    IntroDirectorTest()
        : silence(folder.path() / "rules.json"), store(time, time, folder.path() / "s.json", &silence)
    {
        ScreenInfo laptop;
        laptop.geometry = QRect(0, 0, 1440, 900);
        ScreenInfo external;
        external.geometry = QRect(1440, 0, 1920, 1080);
        screens.attached = {laptop, external};
        QObject::connect(&store, &SessionStore::sessionsChanged, &store, [this] { ++storeChanges; });
        director.setSound(&sound);
        director.setOnHold([this](bool hold) { holds.push_back(hold); });
        director.setAccessibilityIsGranted([this] { return granted; });
    }

    std::vector<FoundAgent> agents() { return found; }

    const Session* demo() const { return store.session(IntroDirector::kDemoID); }
    std::string demoText() const
    {
        const Session* session = demo();
        if (!session)
            return "absent";
        if (const auto* working = session->status.as<S::Working>())
            return "working: " + working->activity.value_or("");
        if (const auto* asking = session->status.as<S::NeedsPermission>())
            return "asking: " + asking->request.summary;
        if (const auto* done = session->status.as<S::Done>())
            return "done: " + done->summary.value_or("");
        return "other";
    }
    std::vector<std::string> takeSounds()
    {
        auto played = sound.played();
        sound.clear();
        return played;
    }
    // Everything the tour holds is gone, and so it stays.
    void expectNothingLeft()
    {
        EXPECT_EQ(director.step(), std::nullopt);
        EXPECT_FALSE(director.isPressingAllow());
        EXPECT_EQ(demo(), nullptr);
        EXPECT_FALSE(store.introIsRunning());
        EXPECT_FALSE(director.hasPendingTimers());
        EXPECT_FALSE(director.hasCard());
        EXPECT_EQ(cards.log.events.back(), "close");
        ASSERT_FALSE(holds.empty());
        EXPECT_FALSE(holds.back());
        sound.clear();
        const int changes = storeChanges;
        const auto settings = defaults.snapshot();
        time.advance(30s);
        EXPECT_EQ(storeChanges, changes) << "no write after the tour ended";
        EXPECT_EQ(defaults.snapshot(), settings);
        EXPECT_TRUE(sound.played().empty());
    }
    void walkTo(Step target)
    {
        director.start();
        while (director.step() && *director.step() != target) {
            if (director.step() == Step::permission) {
                director.advance();
                time.advance(3s);
            } else {
                director.advance();
            }
        }
        ASSERT_EQ(director.step(), target);
        sound.clear();
    }
    void addRealSessionAsking()
    {
        Session real = test::characterSession("claude:real", S::Working{});
        store.upsert(real);
        store.update("claude:real", [](Session& s) {
            s.status = S::NeedsPermission{PermissionRequest{"Bash", "ls", std::nullopt, false}};
        });
    }

    test::TemporaryFolder folder;
    test::ManualScheduler time;
    SilenceRuleStore silence;
    SessionStore store;
    test::MemoryDefaults defaults;
    test::RecordingScreenProvider screens;
    test::RecordingPointerSource pointer;
    test::RecordingIntroCardFactory cards;
    test::RecordingSoundSink sound;
    std::vector<FoundAgent> found{{"Codex", true}};
    IntroDirector director{IntroDirector::Services{store, defaults, time, time, screens, &pointer, &cards,
                                                   [this] { return agents(); }}};
    std::vector<bool> holds;
    bool granted = false;
    int storeChanges = 0;
};

} // namespace

TEST_F(IntroDirectorTest, EveryStepForward)
{
    director.start();
    EXPECT_TRUE(store.introIsRunning());
    EXPECT_EQ(holds, std::vector<bool>{true});
    EXPECT_EQ(takeSounds(), std::vector<std::string>{"ui:welcome"});

    struct Case
    {
        Step step;
        std::string demo;
        std::string title;
        std::vector<std::string> soundsOnEntry;
    };
    const Case cases[] = {
        {Step::welcome, "absent", "Hey - thanks for installing me.", {}},
        {Step::working,
         "working: Reading Sources/App/ContentView",
         "This is where your agents show up.",
         {"ui:tap"}},
        {Step::permission,
         "asking: Run the test suite",
         "When one of them needs you, I'll ask.",
         {"ui:tap", "permission"}},
        {Step::quiet, "done: All 42 tests passed", "I'll try not to be annoying.", {"ui:tap"}},
        {Step::local, "done: All 42 tests passed", "I'm terrible at gossip.", {"ui:tap"}},
        {Step::jump, "done: All 42 tests passed", "One thing this desktop can't give me.", {"ui:tap"}},
        {Step::ready, "absent", "That's everything.", {"ui:tap"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        if (c.step != Step::welcome) {
            director.advance();
            if (c.step == Step::quiet) // the Allow sequence plays out first
                time.advance(550ms + 1400ms + 500ms);
        }
        ASSERT_EQ(director.step(), c.step);
        EXPECT_EQ(demoText(), c.demo);
        EXPECT_EQ(cards.log.shown.title, c.title);
        EXPECT_EQ(takeSounds(), c.soundsOnEntry);
    }
    EXPECT_EQ(cards.log.events.front(), "create Hey - thanks for installing me. on 0,0");
    EXPECT_EQ(cards.log.live, 1) << "one card for the whole tour, refreshed per step";
    EXPECT_EQ(std::count(cards.log.events.begin(), cards.log.events.end(), "aside"), 0)
        << "the window-access step asks the system for nothing, so the card stays";
    EXPECT_TRUE(cards.log.shown.body.starts_with("I found Codex on this computer and hooked it up. Just"));

    director.advance();
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), true);
    expectNothingLeft();
}

TEST_F(IntroDirectorTest, WorkingStepShowsEachActivityOnceAndKeepsTheLast)
{
    walkTo(Step::working);
    const std::pair<std::chrono::milliseconds, std::string> timeline[] = {
        {0ms, "working: Reading Sources/App/ContentView"},
        {2399ms, "working: Reading Sources/App/ContentView"},
        {1ms, "working: Editing Sources/App/ContentView"},
        {2400ms, "working: Writing tests for the new view"},
        {10s, "working: Writing tests for the new view"},
    };
    for (const auto& [step, text] : timeline) {
        time.advance(step);
        EXPECT_EQ(demoText(), text);
    }
    EXPECT_TRUE(director.hasPendingTimers()) << "the watchdog";
}

TEST_F(IntroDirectorTest, TimeScaleShortensBeatsToTheirFloor)
{
    director.setTimeScale(0);
    walkTo(Step::working);
    time.advance(20ms);
    EXPECT_EQ(demoText(), "working: Editing Sources/App/ContentView");
    director.advance();
    director.advance();
    EXPECT_TRUE(director.isPressingAllow());
    time.advance(20ms);
    EXPECT_EQ(demoText(), "working: Running the test suite");
    time.advance(40ms);
    EXPECT_EQ(director.step(), Step::quiet);
}

TEST_F(IntroDirectorTest, AllowSequenceFromTheRowOrTheCard)
{
    for (bool fromRow : {true, false}) {
        SCOPED_TRACE(fromRow ? "row" : "card");
        walkTo(Step::permission);
        if (fromRow)
            director.userClickedAllow();
        else
            director.advance();
        EXPECT_TRUE(director.isPressingAllow());
        EXPECT_EQ(demoText(), "asking: Run the test suite");
        director.userClickedAllow(); // already pressing: nothing
        time.advance(549ms);
        EXPECT_TRUE(director.isPressingAllow());
        time.advance(1ms);
        EXPECT_FALSE(director.isPressingAllow());
        EXPECT_EQ(demoText(), "working: Running the test suite");
        time.advance(1400ms);
        EXPECT_EQ(demoText(), "done: All 42 tests passed");
        EXPECT_EQ(director.step(), Step::permission);
        time.advance(500ms);
        EXPECT_EQ(director.step(), Step::quiet);
        EXPECT_EQ(takeSounds(), std::vector<std::string>(fromRow ? 0 : 1, "ui:tap"))
            << "the dispatcher plays the row's tap";
        director.skip();
    }
}

TEST_F(IntroDirectorTest, PrimaryDuringTheAllowSequenceRestartsItFromThePress)
{
    walkTo(Step::permission);
    director.advance();
    time.advance(1000ms);
    EXPECT_EQ(demoText(), "working: Running the test suite");
    director.advance();
    EXPECT_TRUE(director.isPressingAllow());
    time.advance(1000ms);
    EXPECT_EQ(demoText(), "working: Running the test suite");
    EXPECT_EQ(director.step(), Step::permission) << "the earlier sequence's remaining beats never ran";
    time.advance(1450ms);
    EXPECT_EQ(director.step(), Step::quiet);
}

TEST_F(IntroDirectorTest, AllowFromTheRowAtOtherStepsDoesNothing)
{
    for (Step step : {Step::welcome, Step::working, Step::quiet, Step::local, Step::jump, Step::ready}) {
        SCOPED_TRACE(int(step));
        walkTo(step);
        const std::string before = demoText();
        director.userClickedAllow();
        time.advance(5s);
        EXPECT_EQ(director.step(), step);
        EXPECT_FALSE(director.isPressingAllow());
        if (step != Step::working) {
            EXPECT_EQ(demoText(), before);
        }
        director.skip();
    }
}

TEST_F(IntroDirectorTest, BackFromEachStep)
{
    struct Case
    {
        Step from;
        std::optional<Step> to; // none: stays
        bool grantedNow;
        std::string demo;
        std::vector<std::string> sounds;
    };
    const Case cases[] = {
        {Step::welcome, std::nullopt, false, "absent", {}},
        {Step::working, Step::welcome, false, "absent", {"ui:tap"}},
        {Step::permission, Step::working, false, "working: Reading Sources/App/ContentView", {"ui:tap"}},
        {Step::quiet,
         Step::permission,
         false,
         "asking: Run the test suite",
         {"ui:tap"}}, // no permission sound
        {Step::local, Step::quiet, false, "done: All 42 tests passed", {"ui:tap"}},
        {Step::jump, Step::local, false, "done: All 42 tests passed", {"ui:tap"}},
        {Step::ready, Step::jump, false, "done: All 42 tests passed", {"ui:tap"}},
        {Step::ready, Step::local, true, "done: All 42 tests passed", {"ui:tap"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.from)) + (c.grantedNow ? " granted" : ""));
        granted = false;
        walkTo(c.from);
        granted = c.grantedNow;
        director.goBack();
        EXPECT_EQ(director.step(), c.to.value_or(c.from));
        EXPECT_EQ(demoText(), c.demo);
        EXPECT_EQ(takeSounds(), c.sounds);
        director.skip();
    }
}

TEST_F(IntroDirectorTest, BackDuringTheAllowSequenceClearsThePressAndItsBeats)
{
    walkTo(Step::permission);
    director.advance();
    time.advance(600ms);
    director.goBack();
    EXPECT_FALSE(director.isPressingAllow());
    EXPECT_EQ(director.step(), Step::working);
    time.advance(5s);
    EXPECT_EQ(director.step(), Step::working) << "the sequence never reaches the quiet step";
    EXPECT_EQ(demoText(), "working: Writing tests for the new view");
}

TEST_F(IntroDirectorTest, WithJumpingAlreadyPossibleTheAskingStepIsLeftOut)
{
    granted = true;
    walkTo(Step::local);
    director.advance();
    EXPECT_EQ(director.step(), Step::ready);
    EXPECT_EQ(std::count(cards.log.events.begin(), cards.log.events.end(), "aside"), 0);
    director.goBack();
    EXPECT_EQ(director.step(), Step::local);
}

TEST_F(IntroDirectorTest, TheWindowAccessStepMovesOnWithOneButtonAndNoSystemPrompt)
{
    walkTo(Step::quiet);
    director.declineAndAdvance(); // only at the asking step
    EXPECT_EQ(director.step(), Step::quiet);
    director.advance();
    director.advance();
    ASSERT_EQ(director.step(), Step::jump);
    EXPECT_EQ(cards.log.shown.secondary, std::nullopt) << "one button moves on";
    EXPECT_EQ(cards.log.shown.body.find("on Wayland"), std::string::npos) << "no desktop to name";
    director.goBack();
    director.setUnreachableDesktop([] { return std::string("GNOME"); });
    director.advance();
    ASSERT_EQ(director.step(), Step::jump);
    EXPECT_NE(cards.log.shown.body.find("GNOME on Wayland keeps them out of my reach"), std::string::npos);
    director.advance();
    EXPECT_EQ(director.step(), Step::ready);
    EXPECT_EQ(std::count(cards.log.events.begin(), cards.log.events.end(), "aside"), 0);
}

TEST_F(IntroDirectorTest, SkipInTheMiddleOfEachStepLeavesNothingBehind)
{
    for (Step step : kAllIntroSteps) {
        SCOPED_TRACE(int(step));
        defaults.remove(IntroDirector::kPlayedKey);
        holds.clear();
        walkTo(step);
        if (step == Step::permission)
            director.userClickedAllow(); // mid-sequence
        time.advance(700ms);
        director.skip();
        EXPECT_EQ(takeSounds(), std::vector<std::string>{"ui:tap"});
        EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), true);
        expectNothingLeft();
    }
}

TEST_F(IntroDirectorTest, TheCardsSkipCallbackEndsTheTour)
{
    walkTo(Step::quiet);
    cards.log.callbacks.onSkip();
    expectNothingLeft();
    cards.log.callbacks.onSkip(); // a late press on the fading card
    cards.log.callbacks.onPrimary();
    EXPECT_EQ(director.step(), std::nullopt);
}

TEST_F(IntroDirectorTest, QuittingMidStepDoesNotMarkTheTourPlayed)
{
    walkTo(Step::working);
    time.advance(1s);
    director.shutDown();
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), std::nullopt);
    expectNothingLeft();
}

TEST_F(IntroDirectorTest, ARealSessionWaitingEndsTheTourAfterItsGrace)
{
    walkTo(Step::working);
    time.advance(100ms);
    addRealSessionAsking();
    time.advance(1400ms);
    EXPECT_EQ(director.step(), Step::working);
    time.advance(400ms); // 1.5 s of waiting is seen within one tick
    EXPECT_EQ(director.step(), std::nullopt);
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), true);
    EXPECT_TRUE(sound.played().empty()) << "stands down silently";
    expectNothingLeft();
}

TEST_F(IntroDirectorTest, DoesNotStartWhileARealSessionWaitsOrWithoutAScreen)
{
    addRealSessionAsking();
    director.start();
    EXPECT_EQ(director.step(), std::nullopt);
    store.remove("claude:real");
    screens.attached.clear();
    director.start();
    EXPECT_EQ(director.step(), std::nullopt);
    EXPECT_FALSE(store.introIsRunning());
    EXPECT_TRUE(holds.empty());
    EXPECT_TRUE(sound.played().empty());
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), std::nullopt);
    EXPECT_FALSE(director.hasPendingTimers());
}

TEST_F(IntroDirectorTest, ReplayStartsAgainFromWelcomeOnlyAfterTheEnd)
{
    walkTo(Step::quiet);
    director.start();
    EXPECT_EQ(director.step(), Step::quiet);
    EXPECT_TRUE(sound.played().empty());
    director.skip();
    defaults.remove(IntroDirector::kPlayedKey);
    director.start();
    EXPECT_EQ(director.step(), Step::welcome);
    EXPECT_EQ(cards.log.live, 1);
    EXPECT_EQ(holds, (std::vector<bool>{true, false, true}));
    director.skip();
    EXPECT_EQ(defaults.boolValue(IntroDirector::kPlayedKey), true);
}

TEST_F(IntroDirectorTest, TheCardOpensOnTheScreenUnderThePointer)
{
    pointer.moveTo(QPoint(2000, 500));
    director.start();
    EXPECT_EQ(cards.log.events.front(), "create Hey - thanks for installing me. on 1440,0");
    director.skip();
    pointer.setAvailable(false);
    director.start();
    EXPECT_EQ(cards.log.events.back(), "create Hey - thanks for installing me. on 0,0");
}

TEST_F(IntroDirectorTest, WithoutACardTheTourStillPlays)
{
    director.setShowsCard(false);
    director.start();
    director.advance();
    EXPECT_EQ(director.step(), Step::working);
    EXPECT_EQ(demoText(), "working: Reading Sources/App/ContentView");
    EXPECT_TRUE(cards.log.events.empty());
    director.skip();
    EXPECT_EQ(director.step(), std::nullopt);
}

TEST_F(IntroDirectorTest, ReadyStepReadsTheAgentsAgainEachTime)
{
    found.clear();
    walkTo(Step::ready);
    EXPECT_TRUE(cards.log.shown.body.starts_with("I couldn't find"));
    found = {{"Claude Code", false}};
    director.goBack();
    director.advance();
    EXPECT_EQ(director.step(), Step::ready);
    EXPECT_TRUE(cards.log.shown.body.starts_with("I found Claude Code on this computer. Just"));
    EXPECT_FALSE(director.stepContent()->secondary);
}

TEST_F(IntroDirectorTest, DemoSessionIsNeverSavedAndRaisesNoAlert)
{
    int alerts = 0;
    QObject::connect(&store, &SessionStore::alertRaised, &store, [&] { ++alerts; });
    walkTo(Step::permission);
    EXPECT_EQ(alerts, 0);
    const Session* session = demo();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->context, (ContextUsage{231000, 1000000, "claude-opus-4-8"}));
    EXPECT_FALSE(SessionStore::isPersisted(session->id));
}
