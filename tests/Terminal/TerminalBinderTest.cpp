#include "Terminal/TerminalBinder.h"

#include "Core/CommandLookup.h"
#include "support/RecordingAppRegistry.h"
#include "support/RecordingProcessRunner.h"

#include <QObject>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using velquist::test::RecordingAppRegistry;
using velquist::test::RecordingProcessRunner;

namespace {

// A child process standing for the shell an agent runs in; this test process stands for the
// terminal above it.
class ChildProcess
{
  public:
    ChildProcess()
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~ChildProcess()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

  private:
    pid_t m_pid;
};

RunningApp app(pid_t pid, std::string identifier, bool regular, std::optional<std::string> name = {})
{
    return RunningApp{pid, std::move(identifier), std::move(name), regular};
}

} // namespace

TEST(TerminalBinderTest, ResolveAppWalksFromTheOwnerUpToTheFirstApplication)
{
    ChildProcess shell;
    RecordingAppRegistry registry;
    // The shell itself answers, but without an identifier it is no application.
    registry.add(app(shell.pid(), "", false));
    // The terminal counts whether or not it shows windows.
    registry.add(app(::getpid(), "org.example.Terminal", false, "Terminal"));
    TerminalBinder binder(registry);

    const auto found = binder.resolveApp(shell.pid());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, app(::getpid(), "org.example.Terminal", false, "Terminal"));
    EXPECT_EQ(registry.asked(), (std::vector<pid_t>{shell.pid(), ::getpid()}));
}

TEST(TerminalBinderTest, ResolveAppFindsNothingInAChainWithoutApplications)
{
    ChildProcess shell;
    RecordingAppRegistry registry;
    TerminalBinder binder(registry);
    EXPECT_EQ(binder.resolveApp(shell.pid()), std::nullopt);
    const auto asked = registry.asked();
    ASSERT_GE(asked.size(), 2u);
    EXPECT_LE(asked.size(), 1u + TerminalBinder::ancestorLimit);
    EXPECT_EQ(asked[0], shell.pid());
    EXPECT_EQ(asked[1], ::getpid());
    EXPECT_EQ(std::count(asked.begin(), asked.end(), 1), 0);
}

TEST(TerminalBinderTest, PidsThatAreNoProcessIdsResolveToNothing)
{
    RecordingAppRegistry registry;
    registry.add(app(1, "org.example.Init", true));
    TerminalBinder binder(registry);
    for (const std::int64_t pid :
         {std::int64_t{0}, std::int64_t{-4}, std::int64_t{1} << 32, std::int64_t{1} << 40})
        EXPECT_EQ(binder.resolveApp(pid), std::nullopt) << pid;
    EXPECT_EQ(binder.resolveHostApp({0, -4, std::int64_t{1} << 32}), std::nullopt);
    EXPECT_TRUE(registry.asked().empty());
}

TEST(TerminalBinderTest, ResolveHostAppTakesTheFirstRegularApplicationInOrder)
{
    RecordingAppRegistry registry;
    registry.add(app(100, "org.example.Helper", false, "Helper")); // an accessory: skipped
    registry.add(app(200, "", true));                              // no identifier: skipped
    registry.add(app(300, "org.example.Terminal", true, "Terminal"));
    registry.add(app(400, "org.example.Other", true, "Other"));
    TerminalBinder binder(registry);

    struct Case
    {
        const char* what;
        std::vector<std::int64_t> pids;
        std::optional<TerminalBinder::Candidate> expected;
    };
    const Case cases[] = {
        {"accessory skipped",
         {100, 150, 200, 300, 400},
         TerminalBinder::Candidate{300, "org.example.Terminal", "Terminal"}},
        {"order given is kept", {400, 300}, TerminalBinder::Candidate{400, "org.example.Other", "Other"}},
        {"no regular application", {100, 150, 200}, std::nullopt},
        {"empty list", {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(binder.resolveHostApp(c.pids), c.expected) << c.what;
}

TEST(TerminalBinderTest, TmuxHostIsTheApplicationAboveTheBestAttachedClient)
{
    RecordingProcessRunner runner;
    runner.respond([](const ProcessRequest& request) {
        const auto& args = request.arguments;
        if (std::find(args.begin(), args.end(), "display-message") != args.end())
            return RecordingProcessRunner::exited(0, "$1\n");
        if (std::find(args.begin(), args.end(), "list-clients") != args.end())
            // Another session's client was active last; the pane's session's client still wins.
            return RecordingProcessRunner::exited(0, "3000001 1700000900 $0\ngarbage\n3000002 1700000100 $1\n"
                                                     "3000003 1700000500 $1\n");
        return RecordingProcessRunner::exited(1);
    });
    CommandLookup lookup(runner, "/bin/sh");
    Tmux tmux(runner, lookup);
    RecordingAppRegistry registry;
    registry.add(app(3000001, "org.example.Other", true, "Other"));
    registry.add(app(3000002, "org.example.Quiet", true, "Quiet"));
    registry.add(app(3000003, "org.example.Terminal", true, "Terminal"));
    TerminalBinder binder(registry, &tmux);

    const TerminalEnvironment env{{"TMUX_PANE", "%4"}, {"TMUX", "/tmp/tmux-1000/default,77,1"}};
    if (!tmux.executable())
        GTEST_SKIP() << "tmux is not installed";
    EXPECT_EQ(binder.resolveTmuxHost(env),
              (TerminalBinder::Candidate{3000003, "org.example.Terminal", "Terminal"}));
    const auto lines = runner.commandLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines[0].begin() + 1, lines[0].end()),
              (std::vector<std::string>{"-S", "/tmp/tmux-1000/default", "display-message", "-p", "-t", "%4",
                                        "#{session_id}"}));
}

TEST(TerminalBinderTest, TmuxHostIsNotAskedOutsideTmux)
{
    RecordingProcessRunner runner;
    CommandLookup lookup(runner, "/bin/sh");
    Tmux tmux(runner, lookup);
    RecordingAppRegistry registry;
    TerminalBinder binder(registry, &tmux);
    for (const TerminalEnvironment& env : {TerminalEnvironment{}, TerminalEnvironment{{"TMUX_PANE", ""}},
                                           TerminalEnvironment{{"TMUX", "/tmp/s,1,0"}}})
        EXPECT_EQ(binder.resolveTmuxHost(env), std::nullopt);
    EXPECT_TRUE(runner.requests().empty());
    EXPECT_EQ(TerminalBinder(registry).resolveTmuxHost({{"TMUX_PANE", "%1"}}), std::nullopt);
}

TEST(TerminalBinderTest, AsyncTmuxHostAnswersOnTheCallersThread)
{
    RecordingProcessRunner runner;
    runner.respond([](const ProcessRequest&) { return RecordingProcessRunner::exited(1); });
    CommandLookup lookup(runner, "/bin/sh");
    Tmux tmux(runner, lookup);
    RecordingAppRegistry registry;
    TerminalBinder binder(registry, &tmux);
    QObject context;
    bool called = false;
    binder.resolveTmuxHost({{"TMUX_PANE", "%1"}}, &context,
                           [&](std::optional<TerminalBinder::Candidate> found) {
                               called = true;
                               EXPECT_EQ(found, std::nullopt);
                               EXPECT_EQ(QThread::currentThread(), context.thread());
                           });
    EXPECT_TRUE(QTest::qWaitFor([&] { return called; }, 10000));
}
