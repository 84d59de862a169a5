#include "Terminal/MultiplexerFocus.h"

#include "Core/CommandLookup.h"
#include "Core/Session.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Terminal/TerminalBinder.h"
#include "support/RecordingAppRegistry.h"
#include "support/RecordingProcessRunner.h"
#include "support/base/TemporaryHome.h"

#include <QObject>
#include <QTest>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace velquist;
using velquist::test::RecordingAppRegistry;
using velquist::test::RecordingProcessRunner;
using Lines = std::vector<std::vector<std::string>>;

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A tmux server of the test's own on a private socket: session "work" with window 0 split into
// panes %0 and %1, and window 1 (pane %2) current.
class TmuxFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        auto found = lookup.find("tmux", {"/usr/local/bin/tmux", "/usr/bin/tmux"});
        if (!found)
            GTEST_SKIP() << "tmux is not installed";
        tmuxPath = *found;
        socket = (folder.path() / "sock").string();
        ASSERT_TRUE(tmuxCommand({"-f", "/dev/null", "new-session", "-d", "-s", "work", "-x", "80", "-y", "24",
                                 "sleep 600"})
                        .succeeded());
        ASSERT_TRUE(tmuxCommand({"split-window", "-t", "work:0", "sleep 600"}).succeeded());
        ASSERT_TRUE(tmuxCommand({"new-window", "-t", "work", "sleep 600"}).succeeded());
        const auto serverPid = trimmed(tmuxCommand({"display-message", "-p", "#{pid}"}).output);
        env = {{"TMUX_PANE", "%0"}, {"TMUX", socket + "," + serverPid + ",0"}};
    }

    void TearDown() override
    {
        detachClient();
        if (!socket.empty())
            tmuxCommand({"kill-server"});
    }

    ProcessResult tmuxCommand(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"-S", socket});
        return realRunner.run({tmuxPath, arguments});
    }
    std::string activePane()
    {
        return trimmed(tmuxCommand({"display-message", "-p", "-t", "work", "#{pane_id}"}).output);
    }

    // Attaches a client on a terminal of which this process holds the other end, as a terminal
    // application does.
    void attachClient()
    {
        winsize size{24, 80, 0, 0};
        m_client = ::forkpty(&m_terminal, nullptr, nullptr, &size);
        ASSERT_GE(m_client, 0);
        if (m_client == 0) {
            ::setenv("TERM", "xterm-256color", 1);
            ::unsetenv("TMUX");
            ::execl(tmuxPath.c_str(), "tmux", "-S", socket.c_str(), "attach-session", "-t", "work", nullptr);
            ::_exit(127);
        }
        // The client blocks once the terminal's buffer is full; read what it draws.
        m_drain = std::thread([fd = m_terminal] {
            char buffer[4096];
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
        });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !trimmed(tmuxCommand({"list-clients", "-F", "#{client_pid}"}).output).empty();
            },
            10000));
    }
    void detachClient()
    {
        if (m_client <= 0)
            return;
        ::kill(m_client, SIGKILL);
        ::waitpid(m_client, nullptr, 0);
        ::close(m_terminal);
        m_drain.join();
        m_client = 0;
    }

    test::TemporaryFolder folder;
    LinuxProcessRunner realRunner;
    RecordingProcessRunner runner{realRunner};
    CommandLookup lookup{realRunner};
    Tmux tmux{runner, lookup};
    MultiplexerFocus focus{tmux};
    std::string tmuxPath;
    std::string socket;
    TerminalEnvironment env;

  private:
    pid_t m_client = 0;
    int m_terminal = -1;
    std::thread m_drain;
};

} // namespace

TEST_F(TmuxFixture, SelectsThePaneWhenNoClientIsAttached)
{
    ASSERT_EQ(activePane(), "%2");
    Session session;
    session.terminal.env = env;
    EXPECT_TRUE(focus.focusTmuxPane(session));
    EXPECT_EQ(activePane(), "%0");
    // switch-client failed (no client), the other two did their work.
    EXPECT_EQ(runner.commandLines(), (Lines{{tmuxPath, "-S", socket, "switch-client", "-t", "%0"},
                                            {tmuxPath, "-S", socket, "select-window", "-t", "%0"},
                                            {tmuxPath, "-S", socket, "select-pane", "-t", "%0"}}));
    for (const auto& request : runner.requests())
        EXPECT_EQ(request.timeout, Tmux::commandTimeout);
}

TEST_F(TmuxFixture, TriesAllThreeCommandsWhenEachFails)
{
    env["TMUX_PANE"] = "%99";
    EXPECT_FALSE(focus.focusTmuxPane(env));
    EXPECT_EQ(runner.requests().size(), 3u);
    EXPECT_EQ(activePane(), "%2");
}

TEST_F(TmuxFixture, RunsNothingWithoutAPane)
{
    for (const TerminalEnvironment& without : {TerminalEnvironment{}, TerminalEnvironment{{"TMUX_PANE", ""}},
                                               TerminalEnvironment{{"TMUX", env["TMUX"]}}})
        EXPECT_FALSE(focus.focusTmuxPane(without));
    EXPECT_TRUE(runner.requests().empty());
}

TEST_F(TmuxFixture, ASessionInsideTmuxResolvesToTheTerminalThatShowsIt)
{
    attachClient();
    RecordingAppRegistry registry;
    registry.add({::getpid(), "org.example.Terminal", "Example Terminal", true});
    TerminalBinder binder(registry, &tmux);

    // The pane's process descends from the tmux server, not from any terminal.
    const auto panePid = std::stoll(tmuxCommand({"display-message", "-p", "-t", "%0", "#{pane_pid}"}).output);
    EXPECT_EQ(binder.resolveApp(panePid), std::nullopt);
    EXPECT_EQ(binder.resolveTmuxHost(env),
              (TerminalBinder::Candidate{::getpid(), "org.example.Terminal", "Example Terminal"}));

    // With a client attached, switch-client succeeds too and the client shows the pane.
    EXPECT_TRUE(focus.focusTmuxPane(env));
    EXPECT_EQ(trimmed(tmuxCommand({"list-clients", "-F", "#{pane_id}"}).output), "%0");
}

TEST_F(TmuxFixture, AsyncFocusAnswersOnTheCallersThread)
{
    QObject context;
    std::optional<bool> selected;
    focus.focusTmuxPane(env, &context, [&](bool result) { selected = result; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return selected.has_value(); }, 10000));
    EXPECT_TRUE(*selected);
    EXPECT_EQ(activePane(), "%0");
}

TEST(TmuxTest, SocketPathIsTheFirstFieldOfTmux)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/private/tmp/tmux-501/default,1234,0", "/private/tmp/tmux-501/default"},
        {"/tmp/tmux-1000/default", "/tmp/tmux-1000/default"},
        {",1234,0", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(Tmux::socketPath(value), expected) << value;
}

TEST(TmuxTest, WithoutASocketTheDefaultServerIsUsed)
{
    RecordingProcessRunner runner;
    runner.respond([](const ProcessRequest&) { return RecordingProcessRunner::exited(0); });
    CommandLookup lookup(runner, "/bin/sh");
    Tmux tmux(runner, lookup);
    tmux.run("/usr/bin/tmux", {{"TMUX_PANE", "%1"}, {"TMUX", ",5,0"}}, {"select-pane", "-t", "%1"});
    EXPECT_EQ(runner.commandLines(), (Lines{{"/usr/bin/tmux", "select-pane", "-t", "%1"}}));
}
