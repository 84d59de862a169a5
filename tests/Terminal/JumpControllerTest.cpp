#include "Terminal/JumpController.h"

#include "Core/CommandLookup.h"
#include "Platform/UserDefaults.h"
#include "Terminal/JumpRuleStore.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "support/ManualScheduler.h"
#include "support/RecordingUrlOpener.h"
#include "support/RecordingWindowSystem.h"
#include "support/TerminalWorld.h"
#include "support/WaitUntil.h"

#include <QThreadPool>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr auto window = &test::RecordingWindowSystem::makeWindow;
constexpr pid_t shellPid = 4321;
constexpr pid_t terminalPid = 777;
constexpr pid_t otherPid = 900;

// A terminal's own strategy that answers as the test says and notes each call.
class RecordingStrategy final : public TerminalFocusStrategy
{
  public:
    std::vector<std::string> bundleIDs() const override { return {"net.kovidgoyal.kitty"}; }
    void focus(const Session& session, const RunningApp& app, QObject*, Done done) override
    {
        calls.push_back(session.id + "@" + app.identifier);
        if (hold)
            held = std::move(done);
        else
            done(answer);
    }
    bool answer = false;
    // Keeps the answer in `held` instead, as a terminal's remote control still at work would.
    bool hold = false;
    Done held;
    std::vector<std::string> calls;
};

class JumpControllerTest : public ::testing::Test, protected test::TerminalWorld
{
  protected:
    void SetUp() override
    {
        auto owned = std::make_unique<RecordingStrategy>();
        strategy = owned.get();
        std::vector<std::unique_ptr<TerminalFocusStrategy>> list;
        list.push_back(std::move(owned));
        strategies = std::make_unique<TerminalFocusRegistry>(std::move(list));
        controller = std::make_unique<JumpController>(
            JumpController::Services{binder, windows, multiplexer, *strategies, urls, scheduler});
        controller->setRules(&rules);
        registry.add({terminalPid, "net.kovidgoyal.kitty", "kitty", true});
        editorInFront(windows, window(10, otherPid, "editor"), {window(11, terminalPid, "~/proj - claude")});
        session.id = "claude:3f2a9c1e-1111";
        session.cwd = "/home/me/proj";
        session.terminal.ownerPID = terminalPid;
    }

    // A jump cancelled by the next one may still have a worker using the doubles below.
    ~JumpControllerTest() override { QThreadPool::globalInstance()->waitForDone(); }

    // Starts a jump and runs it to its end, advancing the scheduler only while the jump waits on
    // it. Returns the result and how long the jump waited.
    std::pair<std::optional<bool>, std::chrono::milliseconds> jump()
    {
        std::optional<bool> result;
        noTerminal = false;
        controller->focus(
            session, [&result](bool focused) { result = focused; }, [this] { noTerminal = true; });
        std::chrono::milliseconds waited{0};
        while (!result && waited < 5s) {
            test::waitUntil([&] { return result || scheduler.pendingCount() > 0; }, 5s);
            if (result)
                break;
            scheduler.advance(10ms);
            waited += 10ms;
        }
        return {result, waited};
    }

    test::ManualScheduler scheduler;
    MultiplexerFocus multiplexer{tmux};
    test::RecordingWindowSystem windows;
    test::RecordingUrlOpener urls;
    UserDefaults defaults;
    JumpRuleStore rules{defaults};
    RecordingStrategy* strategy = nullptr;
    std::unique_ptr<TerminalFocusRegistry> strategies;
    std::unique_ptr<JumpController> controller;
    Session session;
    // The jump said it found no terminal at all.
    bool noTerminal = false;
};

} // namespace

TEST_F(JumpControllerTest, WithoutAnApplicationNothingIsActivated)
{
    for (const std::optional<std::int64_t> owner :
         {std::optional<std::int64_t>(), std::optional<std::int64_t>(shellPid)}) {
        session.terminal.ownerPID = owner;
        EXPECT_EQ(jump().first, false);
        EXPECT_TRUE(noTerminal);
    }
    EXPECT_TRUE(windows.activated().empty());
    EXPECT_TRUE(strategy->calls.empty());
}

TEST_F(JumpControllerTest, ActivatesTheTerminalThenItsStrategyDecides)
{
    strategy->answer = true;
    const auto [result, waited] = jump();
    EXPECT_EQ(result, true);
    EXPECT_EQ(windows.activated(), (std::vector<WindowId>{11}));
    EXPECT_EQ(waited, 0ms);
    EXPECT_EQ(strategy->calls, (std::vector<std::string>{"claude:3f2a9c1e-1111@net.kovidgoyal.kitty"}));
}

TEST_F(JumpControllerTest, ATerminalThatNeverComesToTheFrontFailsAfterFifteenPolls)
{
    windows.setActivationGranted(false);
    const auto [result, waited] = jump();
    EXPECT_EQ(result, false);
    EXPECT_FALSE(noTerminal) << "the terminal was found; it did not come forward";
    EXPECT_EQ(waited, JumpController::activationPoll * JumpController::activationPolls);
    EXPECT_TRUE(strategy->calls.empty());
}

TEST_F(JumpControllerTest, ARuleWinsOverTheStrategyUnlessItsUrlIsNotOpened)
{
    windows.setActive(11); // already in front: no activation at all
    rules.add(
        {"0E4C1D2A-5B6C-4D7E-8F90-A1B2C3D4E5F6", "NET.kovidgoyal.kitty", "myterm://focus?d={cwd}", true});
    EXPECT_EQ(jump().first, true);
    EXPECT_EQ(urls.opened(), (std::vector<std::string>{"myterm://focus?d=/home/me/proj"}));
    EXPECT_TRUE(strategy->calls.empty());
    EXPECT_TRUE(windows.activated().empty());

    urls.setOpens(false);
    strategy->answer = true;
    EXPECT_EQ(jump().first, true);
    EXPECT_EQ(strategy->calls.size(), 1u);
}

TEST_F(JumpControllerTest, AfterAFailedStrategyTheWindowIsChosenByTitle)
{
    struct Case
    {
        const char* what;
        std::vector<WindowInfo> windows;
        bool canList;
        std::optional<bool> result;
        std::vector<WindowId> activated; // after the terminal's activation
    };
    const Case cases[] = {
        {"one window: nothing to choose", {window(11, terminalPid, "x")}, true, true, {}},
        {"the folder names one window",
         {window(11, terminalPid, "~/other"), window(12, terminalPid, "~/proj: zsh"),
          window(13, terminalPid, std::nullopt)},
         true,
         true,
         {12}},
        {"the folder names two, \"claude\" one",
         {window(11, terminalPid, "proj"), window(12, terminalPid, "proj \u2014 Claude"),
          window(13, terminalPid, "proj")},
         true,
         true,
         {12}},
        {"no unique match: hands off",
         {window(11, terminalPid, "a"), window(12, terminalPid, "b")},
         true,
         false,
         {}},
        {"windows cannot be read", {window(11, terminalPid, "x")}, false, false, {}},
    };
    for (const auto& c : cases) {
        windows.setWindows(c.windows);
        windows.setAvailable(c.canList, true, true);
        windows.setActive(11);
        const auto before = windows.activated().size();
        EXPECT_EQ(jump().first, c.result) << c.what;
        const auto all = windows.activated();
        EXPECT_EQ(std::vector<WindowId>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
                  c.activated)
            << c.what;
    }
}

TEST_F(JumpControllerTest, ARaisedWindowThatDoesNotKeepTheFocusIsNoSuccess)
{
    windows.setWindows({window(11, terminalPid, "~/proj"), window(12, terminalPid, "elsewhere")});
    windows.setActive(12);
    windows.setActivationGranted(false);
    EXPECT_EQ(jump().first, false);
    EXPECT_EQ(windows.activated(), (std::vector<WindowId>{11}));
}

TEST_F(JumpControllerTest, ANewJumpCancelsTheOneStillRunning)
{
    windows.setActivationGranted(false);
    bool firstDone = false;
    controller->focus(session, [&firstDone](bool) { firstDone = true; });
    ASSERT_TRUE(test::waitUntil([&] { return scheduler.pendingCount() > 0; }));

    windows.setActivationGranted(true);
    strategy->answer = true;
    EXPECT_EQ(jump().first, true);
    scheduler.advance(2s);
    test::drain(*QThreadPool::globalInstance());
    EXPECT_FALSE(firstDone);
    EXPECT_EQ(strategy->calls.size(), 1u);
}

TEST_F(JumpControllerTest, ANewJumpStartsOnceTheStepStillAtWorkOfTheCancelledOneHasAnswered)
{
    // The first jump's strategy is at work: a terminal's remote control brings its window forward
    // whenever it gets there, and nothing can call it back.
    strategy->hold = true;
    bool firstDone = false;
    controller->focus(session, [&firstDone](bool) { firstDone = true; });
    ASSERT_TRUE(test::waitUntil([&] { return static_cast<bool>(strategy->held); }));
    ASSERT_EQ(windows.activated(), (std::vector<WindowId>{11}));

    registry.add({otherPid, "org.example.editor", "Editor", true});
    Session other = session;
    other.id = "claude:3f2a9c1e-2222";
    other.terminal.ownerPID = otherPid;
    std::optional<bool> second;
    controller->focus(other, [&second](bool focused) { second = focused; });
    test::settle(50ms);
    EXPECT_EQ(windows.activated(), (std::vector<WindowId>{11}))
        << "the second jump went ahead of the first's step";
    EXPECT_FALSE(second.has_value());

    // The step answers (its window came forward): the second jump runs now and its window ends in front.
    auto answer = std::exchange(strategy->held, nullptr);
    strategy->hold = false;
    answer(true);
    ASSERT_TRUE(test::waitUntil([&] { return second.has_value(); }));
    EXPECT_EQ(second, true);
    EXPECT_EQ(windows.activated(), (std::vector<WindowId>{11, 10}));
    EXPECT_FALSE(firstDone);
}
