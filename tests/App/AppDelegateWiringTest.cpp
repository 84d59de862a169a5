#include "App/AppDelegate.h"
#include "Attention/GlanceWatcher.h"
#include "Core/AttentionCoordinator.h"
#include "Core/CommandLookup.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/Tmux.h"
#include "support/DelegateWorld.h"
#include "support/TerminalWorld.h"
#include "support/WaitUntil.h"

#include <QThreadPool>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

constexpr auto window = &test::RecordingWindowSystem::makeWindow;
// Pids the registry knows: the session's terminal (a tabless one) and an editor beside it.
constexpr pid_t terminalPid = 4242;
constexpr pid_t editorPid = 4343;

// A started delegate with terminal binding, on doubles: the services meet through the delegate's
// wiring only.
class AppDelegateWiringTest : public ::testing::Test,
                              protected test::DelegateWorld,
                              protected test::TerminalWorld
{
  protected:
    AppDelegateWiringTest()
    {
        registry.add({terminalPid, "xterm", "XTerm", true});
        editorInFront(windows, window(1, editorPid, "editor"), {window(2, terminalPid, "bash")});
        delegate.applicationDidFinishLaunching({"velquist"});
    }
    ~AppDelegateWiringTest() override { delegate.applicationWillTerminate(); }

    AppServices withTerminals()
    {
        AppServices wired = services();
        wired.terminalBinder = &binder;
        wired.processRunner = &runner;
        wired.commandLookup = &lookup;
        wired.tmux = &tmux;
        return wired;
    }

    // A session of `agent` in the terminal, working, then moved to `status`.
    void run(const std::string& id, SessionStatus status, AgentKind agent = AgentKind::claudeCode)
    {
        Session session;
        session.id = id;
        session.agent = agent;
        session.cwd = "/home/u/project";
        session.status = SessionStatus::Working{};
        session.terminal.ownerPID = terminalPid;
        delegate.store().upsert(session);
        delegate.store().update(id, [&status](Session& s) { s.status = status; });
    }
    static SessionStatus asking()
    {
        return SessionStatus::NeedsPermission{PermissionRequest{"Bash", "ls", std::nullopt, false}};
    }
    bool isRead(const std::string& id) { return delegate.store().session(id)->doneSeenAt.has_value(); }
    bool played(const std::string& file) const
    {
        for (const auto& sound : soundOutput.played()) {
            if (sound.file.filename() == file)
                return true;
        }
        return false;
    }
    // Lets lookups on workers answer, then moves the clock.
    void tick(std::chrono::milliseconds step)
    {
        test::drain({&workers, QThreadPool::globalInstance()});
        clock.advance(step);
    }

    AppDelegate delegate{withTerminals()};
};

} // namespace

TEST_F(AppDelegateWiringTest, AStoresAlertIsHeardUnlessPrivacyModeIsOn)
{
    ASSERT_NE(delegate.coordinator(), nullptr);

    delegate.privacy().setActive(true);
    run("claude:private", asking());
    tick(0ms);
    EXPECT_FALSE(played("ask.wav"));

    delegate.privacy().setActive(false);
    run("claude:heard", asking());
    ASSERT_TRUE(test::waitUntil([&] { return played("ask.wav"); }));
    EXPECT_EQ(delegate.coordinator()->desiredPresentation(), PanelPresentation::expanded);
}

TEST_F(AppDelegateWiringTest, AButtonNoAgentTakesIsHeardAndRaisesTheSessionsTerminal)
{
    ASSERT_NE(delegate.jumpController(), nullptr);
    // No Codex folder in this home, so no adapter takes Codex's decisions.
    run("codex:abc", asking(), AgentKind::codex);

    delegate.dispatcher().perform(ControlAction::approve(GrantScope::once),
                                  *delegate.store().session("codex:abc"));

    ASSERT_TRUE(test::waitUntil([&] { return !windows.activated().empty(); }));
    EXPECT_EQ(windows.activated(), std::vector<WindowId>{2});
    EXPECT_TRUE(played("tap.wav"));
}

TEST_F(AppDelegateWiringTest, AFinishedSessionIsReadOnceItsTerminalHasBeenInFront)
{
    run("claude:done", SessionStatus::Done{});
    tick(1s);
    EXPECT_FALSE(isRead("claude:done"));

    windows.setActive(2);
    for (int second = 0; second < 10 && !isRead("claude:done"); ++second)
        tick(1s);

    EXPECT_TRUE(isRead("claude:done"));
}

TEST_F(AppDelegateWiringTest, TheShutdownStopsTheGlanceWatcher)
{
    run("claude:done", SessionStatus::Done{});
    windows.setActive(2);
    GlanceWatcher* glance = delegate.glanceWatcher();
    ASSERT_NE(glance, nullptr);
    ASSERT_TRUE(glance->isWatching());

    delegate.applicationWillTerminate();

    EXPECT_FALSE(glance->isWatching());
    windows.setActive(1);
    windows.setActive(2);
    for (int second = 0; second < 5; ++second)
        tick(1s);
    EXPECT_FALSE(glance->isWatching());
    EXPECT_FALSE(isRead("claude:done"));
}
