#include "Adapters/FallbackDetector.h"
#include "Adapters/FakeProcTree.h"
#include "Adapters/ProcessTable.h"
#include "Core/SessionStore.h"
#include "Terminal/TerminalBinder.h"
#include "support/AgentOnTerminal.h"
#include "support/ManualScheduler.h"
#include "support/RecordingAppRegistry.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {
namespace {

using namespace std::chrono_literals;
using Detected = FallbackDetector::DetectedProcess;
using Details = FallbackDetector::Details;

TEST(FallbackDetectorBrand, RecognisesAgentsByTheirProgramNotByWordsInTheLine)
{
    struct Case
    {
        std::vector<std::string> arguments;
        std::optional<std::string> brand;
    };
    const Case cases[] = {
        {{"node", "/usr/local/bin/aider", "--model", "x"}, "aider"},
        {{"/usr/bin/python3.11", "/home/u/.local/bin/aider"}, "aider"},
        {{"python3", "-m", "aider", "--yes"}, "aider"},
        {{"python3", "-m", "aider.main"}, "aider"},
        {{"aider"}, "aider"},
        {{"aider --model sonnet"}, "aider"}, // a title rewritten into the first argument
        {{"/opt/Antigravity/antigravity", "--no-sandbox"}, "Antigravity"},
        {{"deepseek"}, "DeepSeek"},
        {{"node", "/usr/lib/node_modules/@sourcegraph/amp/dist/main.js"}, "Amp"},
        {{"node", "/usr/bin/amp"}, "Amp"},
        {{"/home/u/.local/bin/kimi"}, "Kimi"},
        {{"mistral"}, "Mistral"},
        {{"grok-cli"}, "Grok"},
        {{"node", "--no-warnings", "/usr/local/bin/grok"}, "Grok"},
        {{"/usr/bin/env", "FORCE_COLOR=1", "kimi"}, "Kimi"},
        // Look-alikes: the agent's name is only an argument, or another program's name.
        {{"vim", "mistral.py"}, std::nullopt},
        {{"python3", "mistral.py"}, std::nullopt},
        {{"grep", "-r", "aider", "."}, std::nullopt},
        {{"less", "/home/u/kimi/notes.txt"}, std::nullopt},
        {{"ssh", "host", "aider"}, std::nullopt},
        {{"bash", "-c", "aider --yes"}, std::nullopt},
        {{"python3", "-c", "import aider"}, std::nullopt},
        {{"amp", "notes.txt"}, std::nullopt}, // the text editor of that name
        {{"grok"}, std::nullopt},
        {{"aider-helper"}, std::nullopt},
        {{"Kimi"}, std::nullopt},
        {{"/usr/bin/node"}, std::nullopt},
        {{"node", "/srv/node_modules/amp-lite/index.js"}, std::nullopt},
        {{"cat", "/usr/lib/node_modules/@sourcegraph/amp/dist/main.js"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [arguments, brand] : cases) {
        std::string line;
        for (const auto& argument : arguments)
            line += argument + " ";
        EXPECT_EQ(FallbackDetector::brand(arguments), brand) << line;
    }
}

TEST(FallbackDetectorScan, FindsTheFirstAgentOfEachTerminalInProcessIdOrder)
{
    FakeProcTree proc;
    // Made out of order: the folder listing's order is not the scan's.
    proc.add({1000, {"node", "/usr/bin/amp"}, 3, "/work/b"});
    proc.add({812, {"node", "/usr/local/bin/aider", "--model", "x"}, 3, "/work/a"});
    proc.add({99, {"kimi"}, 7, "/work/c"});
    proc.add({100, {"mistral"}, std::nullopt, "/"});      // no terminal: a daemon
    proc.add({101, {"vim", "mistral.py"}, 8, "/work/d"}); // a look-alike
    proc.add({102, {"deepseek"}, 300, "/work/e"});
    // Unreadable records are skipped, never the end of the scan.
    std::filesystem::create_directories(proc.root() / "103");
    proc.write(proc.root() / "103" / "stat", "103 (kimi) S 1 1 1 34819");
    proc.add({104, {"kimi"}, 9, std::nullopt});
    proc.write(proc.root() / "104" / "stat", "garbage");
    std::filesystem::create_directories(proc.root() / "self");
    proc.write(proc.root() / "self" / "cmdline", std::string("kimi\0", 5));
    proc.write(proc.root() / "uptime", "1.0 1.0\n");

    const auto found = FallbackDetector::scanProcesses(ProcessTable(proc.root()));

    const std::vector<Detected> expected{{99, "pts/7", "Kimi", std::nullopt},
                                         {102, "pts/300", "DeepSeek", std::nullopt},
                                         {812, "pts/3", "aider", std::nullopt}};
    EXPECT_EQ(found, expected);
}

// A prompt or a file list given on the command line can run to megabytes; the program and its
// script come first, and they alone decide.
TEST(FallbackDetectorScan, RecognisesAnAgentWhateverTheLengthOfItsArguments)
{
    const std::string chunk(64 * 1024, '0');
    FakeProcTree proc;
    std::vector<std::string> arguments{"python3", "/home/u/.local/bin/aider"};
    for (int i = 0; i < 16; ++i)
        arguments.push_back(chunk);
    proc.add({812, arguments, 3, "/work"});
    const std::vector<Detected> expected{{812, "pts/3", "aider", std::nullopt}};
    EXPECT_EQ(FallbackDetector::scanProcesses(ProcessTable(proc.root())), expected);

    // A real process named aider with a 1 MB argument list: sleep adds up its numbers, so each
    // 64 KiB run of zeros is an argument it accepts.
    std::vector<std::string> real{"aider", "60"};
    for (int i = 0; i < 16; ++i)
        real.push_back(chunk);
    std::vector<char*> argv;
    for (auto& argument : real)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execv("/bin/sleep", argv.data());
        ::_exit(127);
    }
    ::close(ready[1]);
    // The pipe closes when exec replaces the child, so its command line is sleep's from then on.
    char byte = 0;
    while (::read(ready[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(ready[0]);
    const auto line = ProcessTable().commandLine(child);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(line.has_value());
    ASSERT_GE(line->size(), 2u);
    EXPECT_EQ(line->at(0), "aider");
    EXPECT_EQ(line->at(1), "60");
    // Only whole arguments are passed on.
    for (std::size_t i = 2; i < line->size(); ++i)
        EXPECT_EQ(line->at(i), chunk) << i;
    EXPECT_EQ(FallbackDetector::brand(*line), "aider");
}

TEST(FallbackDetectorScan, SkipsAnotherUsersProcesses)
{
    FakeProcTree proc;
    proc.add({812, {"aider"}, 3, "/work"});
    EXPECT_EQ(ProcessTable(proc.root()).pids(), std::vector<pid_t>{812});
    EXPECT_TRUE(FallbackDetector::scanProcesses(ProcessTable(proc.root(), ::geteuid() + 1)).empty());
}

TEST(FallbackDetectorScan, MissingProcTreeGivesNothing)
{
    EXPECT_TRUE(FallbackDetector::scanProcesses(ProcessTable("/nonexistent/proc")).empty());
}

TEST(FallbackDetectorScan, DescribesOnlyTerminalsWithoutASession)
{
    FakeProcTree proc;
    proc.add({812, {"aider"}, 3, "/work/app"});
    proc.add({813, {"kimi"}, 4, std::nullopt});
    proc.add({814, {"mistral"}, 5, "/work/other"});
    RecordingAppRegistry registry;
    registry.add({812, "org.example.Terminal", "Example Terminal", true});
    const TerminalBinder binder(registry);

    auto found = FallbackDetector::scanProcesses(ProcessTable(proc.root()));
    FallbackDetector::describe(found, {"pts/5"}, ProcessTable(proc.root()), &binder);

    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].details,
              (Details{"/work/app", RunningApp{812, "org.example.Terminal", "Example Terminal", true}}));
    EXPECT_EQ(found[1].details, (Details{"unknown", std::nullopt}));
    EXPECT_EQ(found[2].details, std::nullopt);
}

class FallbackDetectorTest : public ::testing::Test
{
  protected:
    Detected process(pid_t pid, std::string tty, std::string brand,
                     std::optional<Details> details = Details{"/work/app", std::nullopt})
    {
        return Detected{pid, std::move(tty), std::move(brand), std::move(details)};
    }

    Session hookSession(const std::string& id, const std::string& tty)
    {
        Session session;
        session.id = id;
        session.agent = AgentKind::claudeCode;
        session.cwd = "/work/hooked";
        session.terminal.tty = tty;
        return session;
    }

    std::vector<std::string> ids() const
    {
        std::vector<std::string> result;
        for (const auto& [id, session] : store.sessions())
            result.push_back(id);
        return result;
    }

    ManualScheduler clock;
    TemporaryFolder folder;
    SilenceRuleStore silence{folder.path() / "silence-rules.json"};
    SessionStore store{clock, clock, folder.path() / "sessions.json", &silence};
    FakeProcTree proc;
    FallbackDetector detector{store, {clock, clock, nullptr, proc.root()}};
};

TEST_F(FallbackDetectorTest, NewSessionCarriesTheAgentTerminalAndFolder)
{
    const auto now = clock.now();
    detector.apply({process(812, "pts/3", "Kimi",
                            Details{"/work/app", RunningApp{700, "org.gnome.Terminal", "Terminal", true}})});

    const Session* session = store.session("detected:pts/3");
    ASSERT_NE(session, nullptr);
    Session expected;
    expected.id = "detected:pts/3";
    expected.agent = AgentKind::detected;
    expected.cwd = "/work/app";
    expected.status = SessionStatus::Working{"Kimi session"};
    expected.lastActivity = "Kimi session";
    expected.startedAt = expected.updatedAt = now;
    expected.terminal.tty = "pts/3";
    expected.terminal.ownerPID = 812;
    expected.terminal.appName = "Terminal";
    expected.terminal.bundleID = "org.gnome.Terminal";
    expected.detectedName = "Kimi";
    EXPECT_EQ(*session, expected);
}

TEST_F(FallbackDetectorTest, SessionSeenAgainKeepsItsFolderAndStartAndOnlyTakesANewBrand)
{
    const auto created = clock.now();
    detector.apply({process(812, "pts/3", "aider")});
    clock.advance(5s);
    int changes = 0;
    QObject::connect(&store, &SessionStore::sessionsChanged, [&] { ++changes; });

    detector.apply({process(900, "pts/3", "aider", Details{"/elsewhere", std::nullopt})});
    EXPECT_EQ(changes, 0) << "an unchanged agent stirs nothing";

    detector.apply({process(901, "pts/3", "Mistral", Details{"/elsewhere", std::nullopt})});
    const Session* session = store.session("detected:pts/3");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(session->detectedName, "Mistral");
    EXPECT_EQ(session->cwd, "/work/app");
    EXPECT_EQ(session->startedAt, created);
    EXPECT_EQ(session->terminal.ownerPID, 812);
    EXPECT_EQ(session->status, (SessionStatus::Working{"aider session"}));
}

TEST_F(FallbackDetectorTest, ATerminalWithAHookSessionGetsNoDetectedSession)
{
    store.upsert(hookSession("claude:abc", "pts/3"));
    detector.apply({process(812, "pts/3", "aider"), process(813, "pts/4", "Kimi")});
    EXPECT_EQ(ids(), (std::vector<std::string>{"claude:abc", "detected:pts/4"}));

    // The hook session came after the detected one: the detected one stays as it was while its
    // agent runs, and goes when it ends.
    const Session before = *store.session("detected:pts/4");
    clock.advance(5s);
    store.upsert(hookSession("claude:def", "pts/4"));
    detector.apply({process(812, "pts/3", "aider"), process(813, "pts/4", "Mistral")});
    EXPECT_EQ(*store.session("detected:pts/4"), before);
    detector.apply({process(812, "pts/3", "aider")});
    EXPECT_EQ(store.session("detected:pts/4"), nullptr);

    // Once the hook session has gone, the agent still running there is detected.
    store.remove("claude:abc");
    detector.apply({process(812, "pts/3", "aider")});
    EXPECT_NE(store.session("detected:pts/3"), nullptr);
}

TEST_F(FallbackDetectorTest, EndedAgentsAreRemovedAndOthersLeftAlone)
{
    Session demonstration = hookSession("mock-detected", "pts/9");
    demonstration.agent = AgentKind::detected;
    store.upsert(demonstration);
    detector.apply({process(812, "pts/3", "aider"), process(813, "pts/4", "Kimi")});
    detector.apply({process(813, "pts/4", "Kimi")});
    EXPECT_EQ(ids(), (std::vector<std::string>{"detected:pts/4", "mock-detected"}));
    detector.apply({});
    EXPECT_EQ(ids(), std::vector<std::string>{"mock-detected"});
}

TEST_F(FallbackDetectorTest, ProcessWithoutDetailsWaitsForTheNextScan)
{
    detector.apply({process(812, "pts/3", "aider", std::nullopt)});
    EXPECT_TRUE(store.sessions().empty());
}

TEST_F(FallbackDetectorTest, ScansOnTheWorkerOneAtATimeEveryFiveSeconds)
{
    proc.add({812, {"aider"}, 3, "/work/app"});
    detector.start();
    EXPECT_TRUE(detector.isScanning());
    // The result has not come back: a tick now must not start a second walk.
    clock.advance(FallbackDetector::kScanInterval);
    EXPECT_EQ(detector.scansStarted(), 1);
    ASSERT_TRUE(waitUntil([&] { return !detector.isScanning(); }));
    ASSERT_NE(store.session("detected:pts/3"), nullptr);
    EXPECT_EQ(store.session("detected:pts/3")->cwd, "/work/app");

    proc.remove(812);
    clock.advance(FallbackDetector::kScanInterval);
    EXPECT_EQ(detector.scansStarted(), 2);
    ASSERT_TRUE(waitUntil([&] { return !detector.isScanning(); }));
    EXPECT_TRUE(store.sessions().empty());
}

TEST_F(FallbackDetectorTest, StoppedDetectorDropsTheScanInFlightAndTicksNoMore)
{
    proc.add({812, {"aider"}, 3, "/work/app"});
    detector.start();
    detector.stop();
    settle(200ms);
    clock.advance(FallbackDetector::kScanInterval * 3);
    settle(50ms);
    EXPECT_TRUE(store.sessions().empty());
    EXPECT_EQ(detector.scansStarted(), 1);
    EXPECT_FALSE(detector.isStarted());

    // A restart scans again, and the dropped scan's late answer does not count as this one's.
    detector.start();
    EXPECT_EQ(detector.scansStarted(), 2);
    ASSERT_TRUE(waitUntil([&] { return store.session("detected:pts/3") != nullptr; }));
}

TEST(FallbackDetectorProcess, RealAgentIsDetectedAndEndsWithItsProcess)
{
    ManualScheduler clock;
    TemporaryFolder folder;
    SilenceRuleStore silence{folder.path() / "silence-rules.json"};
    SessionStore store{clock, clock, folder.path() / "sessions.json", &silence};
    RecordingAppRegistry registry;
    const TerminalBinder binder(registry);
    FallbackDetector detector{store, {clock, clock, &binder}};

    AgentOnTerminal child("/opt/agents/aider", folder.path());
    ASSERT_GT(child.pid(), 0);
    registry.add({child.pid(), "org.example.Terminal", "Example Terminal", true});
    const std::string id = "detected:" + child.tty();

    // The child may not have reached exec when the first scan reads it.
    detector.start();
    for (int tick = 0; tick < 50 && !store.session(id); ++tick) {
        waitUntil([&] { return !detector.isScanning(); });
        if (!store.session(id))
            clock.advance(FallbackDetector::kScanInterval);
    }
    const Session* session = store.session(id);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->detectedName, "aider");
    EXPECT_EQ(session->terminal.ownerPID, child.pid());
    EXPECT_EQ(session->terminal.bundleID, "org.example.Terminal");
    EXPECT_EQ(session->cwd, std::filesystem::canonical(folder.path()).string());

    child.end();
    clock.advance(FallbackDetector::kScanInterval);
    ASSERT_TRUE(waitUntil([&] { return !detector.isScanning(); }));
    EXPECT_EQ(store.session(id), nullptr);
}

} // namespace
} // namespace velquist::test
