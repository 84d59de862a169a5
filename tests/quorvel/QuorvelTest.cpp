#include "quorvel/FakeHookServer.h"
#include "quorvel/QuorvelProcess.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <optional>
#include <stdexcept>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using nlohmann::json;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string hook(const std::string& event, const std::string& extra = "")
{
    return R"({"hook_event_name":")" + event + R"(","session_id":"s-1")" + extra + "}";
}

// A hook object of exactly `size` bytes.
std::string hookOfSize(const std::string& event, std::size_t size)
{
    const std::string head = R"({"hook_event_name":")" + event + R"(","session_id":"s-1","tool_response":")";
    const std::string tail = R"("})";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

// Replies with `pieces` after reading the request, pausing between them, then closes.
FakeHookServer::Handler replyInPieces(std::vector<std::string> pieces)
{
    return [pieces](FakeConnection& connection) {
        connection.readRequest();
        for (const auto& piece : pieces) {
            connection.send(piece);
            std::this_thread::sleep_for(30ms);
        }
    };
}

class QuorvelTest : public ::testing::Test
{
  protected:
    QuorvelTest() { fs::create_directories(supportFolder()); }

    fs::path supportFolder() const { return m_home.path() / ".local/share/Velquist"; }
    fs::path socketPath() const { return supportFolder() / "notch.sock"; }

    QuorvelResult run(const std::vector<std::string>& arguments, const std::string& input,
                      std::vector<std::string> environment = {})
    {
        return runQuorvel({arguments, input, clientEnvironment(m_home.path(), std::move(environment))});
    }

    static json parse(const std::string& request)
    {
        return json::parse(request, nullptr, /*allow_exceptions=*/false);
    }

    TemporaryFolder m_home;
};

void expectCleanExit(const QuorvelResult& result)
{
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.errors, "");
}

} // namespace

TEST_F(QuorvelTest, OptionsChooseEngineAndTheEventDecidedOn)
{
    struct Case
    {
        std::vector<std::string> arguments;
        std::string event;
        std::string engine;
        bool decides;
    };
    const Case cases[] = {
        {{}, "PermissionRequest", "claude", true},
        {{}, "PreToolUse", "claude", false},
        {{"--engine", "gemini", "--decide-on", "BeforeTool"}, "BeforeTool", "gemini", true},
        {{"--decide-on", "BeforeTool", "--engine", "qwen"}, "PermissionRequest", "qwen", false},
        // The value is the next argument whatever it looks like.
        {{"--engine", "--decide-on"}, "PermissionRequest", "--decide-on", true},
        {{"--engine", "--decide-on", "PreToolUse"}, "PreToolUse", "--decide-on", true},
        // The first of two wins; an option given last takes its default.
        {{"--engine", "codex", "--engine", "cursor"}, "Stop", "codex", false},
        {{"stray", "--engine"}, "Stop", "claude", false},
        // Decide mode is the event name alone, byte for byte.
        {{"--decide-on", "permissionrequest"}, "PermissionRequest", "claude", false},
        {{"--engine", "codex", "--decide-on", "PermissionRequest"}, "PermissionRequest", "codex", true},
    };
    FakeHookServer server(socketPath());
    server.setHandler(replyInPieces({"decided"}));
    std::size_t seen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine + " " + c.event);
        const auto result = run(c.arguments, hook(c.event));
        expectCleanExit(result);
        const auto requests = server.requests(++seen);
        ASSERT_EQ(requests.size(), seen);
        const json request = parse(requests.back());
        EXPECT_EQ(request["meta"]["engine"], c.engine);
        EXPECT_EQ(request["payload"]["hook_event_name"], c.event);
        EXPECT_EQ(request["meta"].contains("mode"), c.decides);
        EXPECT_EQ(request["meta"].contains("decisionId"), c.decides);
        // Outside decide mode the client does not wait for, or print, anything.
        EXPECT_EQ(result.output, c.decides ? "decided" : "");
    }
}

TEST_F(QuorvelTest, RequestCarriesThePayloadBytesAndTheProcessContext)
{
    FakeHookServer server(socketPath());
    server.setHandler(replyInPieces({"ok"}));
    const std::string input = "\n  {\"hook_event_name\" : \"PermissionRequest\",\n \"session_id\":\"s-1\", "
                              "\"tool_input\":{\"command\":\"ls \\u00e9\"}}  \n";
    QuorvelProcess process({{}, input, clientEnvironment(m_home.path())});
    const pid_t pid = process.pid();
    const auto result = process.finish();
    expectCleanExit(result);
    const auto requests = server.requests(1);
    ASSERT_EQ(requests.size(), 1u);
    // No framing: one compact object, the payload as the agent wrote it.
    const std::string& request = requests[0];
    EXPECT_EQ(request.rfind(R"({"payload":{"hook_event_name" : "PermissionRequest",)", 0), 0u) << request;
    EXPECT_NE(request.back(), '\n');
    const json parsed = parse(request);
    ASSERT_TRUE(parsed.is_object());
    EXPECT_EQ(parsed["payload"]["tool_input"]["command"], "ls \xC3\xA9");
    const json& meta = parsed["meta"];
    EXPECT_EQ(meta["pid"], pid);
    EXPECT_EQ(meta["ppid"], ::getpid());
    ASSERT_TRUE(meta["ancestorPids"].is_array());
    ASSERT_FALSE(meta["ancestorPids"].empty());
    EXPECT_EQ(meta["ancestorPids"][0], ::getpid());
    EXPECT_LE(meta["ancestorPids"].size(), 15u);
    EXPECT_TRUE(meta["receivedAt"].is_number());
    EXPECT_EQ(meta["mode"], "decide");
    const std::string decisionId = meta["decisionId"];
    EXPECT_EQ(decisionId.rfind(std::to_string(pid) + "-", 0), 0u);
    EXPECT_EQ(meta["env"], json::object());
}

TEST_F(QuorvelTest, TerminalVariablesAreRelayedEmptyValuesIncluded)
{
    FakeHookServer server(socketPath());
    const auto result = run({}, hook("Stop"),
                            {"TMUX=", "TERM_PROGRAM=WezTerm", "KITTY_WINDOW_ID=3", "UNRELATED=x",
                             "ZELLIJ_SESSION_NAME=q\"b\\s\n\x01\xff\xc3\xa9"});
    expectCleanExit(result);
    const auto requests = server.requests(1);
    ASSERT_EQ(requests.size(), 1u);
    // Values are relayed as they are, except bytes that are not UTF-8.
    EXPECT_EQ(parse(requests[0])["meta"]["env"],
              json({{"TMUX", ""},
                    {"TERM_PROGRAM", "WezTerm"},
                    {"KITTY_WINDOW_ID", "3"},
                    {"ZELLIJ_SESSION_NAME", "q\"b\\s\n\x01\xEF\xBF\xBD\xc3\xa9"}}));
}

TEST_F(QuorvelTest, PayloadsAtAndPastTheSizeCap)
{
    constexpr std::size_t cap = 524288;
    FakeHookServer server(socketPath());
    server.setHandler(replyInPieces({"allow"}));
    const std::vector<std::string> arguments = {"--unavailable", "FALLBACK"};

    // Exactly the cap: relayed whole, and decided on.
    const std::string atCap = hookOfSize("PermissionRequest", cap);
    auto result = run(arguments, atCap);
    expectCleanExit(result);
    EXPECT_EQ(result.output, "allow");
    auto requests = server.requests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(parse(requests[0])["payload"], json::parse(atCap));

    // One byte more, for the decided event or another: relayed without the member that does not
    // fit, so the session still learns of the event, but never as a request to decide (the
    // application would show half of it). Nothing is printed: the agent asks in its own terminal,
    // as the application that is running did not refuse anything.
    std::size_t seen = 1;
    for (const std::string event : {"PermissionRequest", "PostToolUse"}) {
        SCOPED_TRACE(event);
        result = run(arguments, hookOfSize(event, cap + 1));
        expectCleanExit(result);
        EXPECT_EQ(result.output, "");
        requests = server.requests(++seen);
        ASSERT_EQ(requests.size(), seen);
        const json request = parse(requests.back());
        EXPECT_EQ(request["payload"], json({{"hook_event_name", event}, {"session_id", "s-1"}}));
        EXPECT_FALSE(request["meta"].contains("mode"));
        EXPECT_FALSE(request["meta"].contains("decisionId"));
    }
}

TEST_F(QuorvelTest, MalformedInputIsRelayedAsWhatCanBeRead)
{
    struct Case
    {
        std::string name;
        std::string input;
        json payload; // as relayed for a non-decided event
    };
    const std::string deep(100000, '[');
    const std::string badUtf8 =
        std::string(R"({"hook_event_name":"Stop","session_id":"s-1","last":"a)") + "\xff\xfe" + "\"}";
    const Case cases[] = {
        {"empty", "", json::object()},
        {"not json", "hello", json::object()},
        {"array", R"([{"hook_event_name":"Stop"}])", json::object()},
        {"truncated", R"({"hook_event_name":"Stop")", json::object()},
        {"trailing garbage", R"({"hook_event_name":"Stop"} x)", json::object()},
        {"deep nesting", R"({"hook_event_name":"Stop","x":)" + deep + std::string(100000, ']') + "}",
         json::object()},
        {"event not a string",
         R"({"hook_event_name":7,"session_id":"s-1"})",
         {{"hook_event_name", 7}, {"session_id", "s-1"}}},
        {"invalid UTF-8 in a member", badUtf8, {{"hook_event_name", "Stop"}, {"session_id", "s-1"}}},
        {"lone surrogate",
         R"({"hook_event_name":"Stop","session_id":"s-1","t":"\ud800"})",
         {{"hook_event_name", "Stop"}, {"session_id", "s-1"}}},
        {"byte order mark",
         "\xEF\xBB\xBF" + hook("Stop"),
         {{"hook_event_name", "Stop"}, {"session_id", "s-1"}}},
        // Found by fuzzing: the earlier of two event names went on alone while the client read the
        // later, unreadable one, so the application saw an event the client did not decide on.
        {"duplicate key whose last value is unreadable",
         std::string(R"({"hook_event_name":"PreToolUse","session_id":"s-1","hook_event_name":"PostToo)") +
             "\x01\"}",
         {{"session_id", "s-1"}}},
        // Found by fuzzing: a number past the largest double went on whole and the application
        // could not read the request at all.
        {"number too large for a double",
         R"({"hook_event_name":"Stop","session_id":"s-1","n":[1e400]})",
         {{"hook_event_name", "Stop"}, {"session_id", "s-1"}}},
    };
    FakeHookServer server(socketPath());
    std::size_t seen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = run({"--unavailable", "FALLBACK"}, c.input);
        expectCleanExit(result);
        EXPECT_EQ(result.output, "");
        const auto requests = server.requests(++seen);
        ASSERT_EQ(requests.size(), seen);
        EXPECT_EQ(parse(requests.back())["payload"], c.payload);
    }

    // A permission request that cannot be shown whole is relayed as what can be read, not to be
    // decided on, and nothing is printed: the agent asks in its own terminal.
    const std::string badRequest =
        std::string(R"({"hook_event_name":"PermissionRequest","session_id":"s-1","tool_input":")") +
        "\xc3\x28" + "\"}";
    const auto result = run({"--unavailable", "FALLBACK"}, badRequest);
    expectCleanExit(result);
    EXPECT_EQ(result.output, "");
    const auto requests = server.requests(seen + 1);
    ASSERT_EQ(requests.size(), seen + 1);
    const json request = parse(requests.back());
    EXPECT_EQ(request["payload"], json({{"hook_event_name", "PermissionRequest"}, {"session_id", "s-1"}}));
    EXPECT_FALSE(request["meta"].contains("mode"));
}

TEST_F(QuorvelTest, RepliesAndTheirAbsence)
{
    struct Case
    {
        std::string name;
        FakeHookServer::Handler handler;
        std::vector<std::string> arguments;
        std::string output;
    };
    const Case cases[] = {
        {"reply in pieces is printed whole",
         replyInPieces({R"({"hookSpecificOutput":)", R"({"decision":)", R"("allow"}})"}),
         {"--unavailable", "FALLBACK"},
         R"({"hookSpecificOutput":{"decision":"allow"}})"},
        {"close without reply prints the fallback", nullptr, {"--unavailable", "FALLBACK"}, "FALLBACK"},
        {"close without reply and no fallback prints nothing", nullptr, {}, ""},
        {"a reset after part of a reply prints the fallback",
         [](FakeConnection& connection) {
             connection.peekRequest();
             connection.send(R"({"partial":)");
         },
         {"--unavailable", "FALLBACK"},
         "FALLBACK"},
        {"closing before reading prints the fallback",
         [](FakeConnection&) {},
         {"--unavailable", "FALLBACK"},
         "FALLBACK"},
    };
    FakeHookServer server(socketPath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.setHandler(c.handler ? c.handler
                                    : [](FakeConnection& connection) { connection.readRequest(); });
        const auto result = run(c.arguments, hook("PermissionRequest"));
        expectCleanExit(result);
        EXPECT_EQ(result.output, c.output);
    }
}

TEST_F(QuorvelTest, WithoutTheApplicationOnlyTheDecidedEventPrintsItsFallback)
{
    struct Case
    {
        std::string event;
        std::vector<std::string> arguments;
        std::string output;
    };
    const Case cases[] = {
        {"PermissionRequest", {"--unavailable", R"({"decision":"deny"})"}, R"({"decision":"deny"})"},
        {"PermissionRequest", {}, ""},
        {"PreToolUse", {"--unavailable", R"({"decision":"deny"})"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        const auto result = run(c.arguments, hook(c.event));
        expectCleanExit(result);
        EXPECT_EQ(result.output, c.output);
    }
    // A stale socket file with nobody listening behaves the same.
    {
        FakeHookServer gone(socketPath());
    }
    ASSERT_TRUE(fs::exists(socketPath()));
    const auto result = run({"--unavailable", "FALLBACK"}, hook("PermissionRequest"));
    expectCleanExit(result);
    EXPECT_EQ(result.output, "FALLBACK");
}

TEST_F(QuorvelTest, AFullListenQueueDoesNotHoldTheAgent)
{
    FakeHookServer server(socketPath(), 0);
    server.stopAccepting();
    std::vector<int> waiting;
    bool full = false;
    for (int i = 0; i < 64 && !full; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        waiting.push_back(fd);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath().c_str());
        full = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == EAGAIN;
    }
    ASSERT_TRUE(full) << "the listen queue never filled";
    for (const std::string event : {"PreToolUse", "PermissionRequest"}) {
        const auto result = run({"--unavailable", "FALLBACK"}, hook(event));
        expectCleanExit(result);
        EXPECT_EQ(result.output, event == "PermissionRequest" ? "FALLBACK" : "");
    }
    for (const int fd : waiting)
        ::close(fd);
}

TEST_F(QuorvelTest, StopAndContinueDuringTheWaitKeepsWaitingForTheDecision)
{
    FakeHookServer server(socketPath());
    std::promise<void> release;
    auto released = release.get_future().share();
    server.setHandler([released](FakeConnection& connection) {
        connection.readRequest();
        released.wait();
        connection.send("decision");
    });
    QuorvelProcess process(
        {{"--unavailable", "FALLBACK"}, hook("PermissionRequest"), clientEnvironment(m_home.path())});
    ASSERT_EQ(server.requests(1).size(), 1u);
    auto stateOf = [](pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        const auto close = text.rfind(')');
        return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
    };
    for (int round = 0; round < 2; ++round) {
        ::kill(process.pid(), SIGSTOP);
        for (int i = 0; i < 500 && stateOf(process.pid()) != 'T'; ++i)
            std::this_thread::sleep_for(2ms);
        EXPECT_EQ(stateOf(process.pid()), 'T');
        ::kill(process.pid(), SIGCONT);
    }
    // Give a client that wrongly took the interruption for an answer time to print its fallback.
    std::this_thread::sleep_for(100ms);
    release.set_value();
    const auto result = process.finish();
    expectCleanExit(result);
    EXPECT_EQ(result.output, "decision");
}

TEST_F(QuorvelTest, AnAgentThatStopsReadingDoesNotKillTheClient)
{
    FakeHookServer server(socketPath());
    server.setHandler(replyInPieces({std::string(256 * 1024, 'r')}));
    QuorvelProcess process({{}, hook("PermissionRequest"), clientEnvironment(m_home.path()), true});
    const auto result = process.finish();
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitStatus, 0);
}

TEST_F(QuorvelTest, SocketPathMayFillSunPath)
{
    constexpr std::size_t sunPath = sizeof(sockaddr_un::sun_path);
    const std::string tail = "/.local/share/Velquist/notch.sock";
    TemporaryFolder root;
    for (const std::size_t length : {sunPath - 1, sunPath, sunPath + 1}) {
        SCOPED_TRACE(length);
        const std::size_t padding = length - tail.size() - root.path().native().size() - 1;
        const fs::path home = root.path() / std::string(padding, 'h');
        const fs::path socket = home.native() + tail;
        ASSERT_EQ(socket.native().size(), length);
        fs::create_directories(socket.parent_path());
        const QuorvelLaunch launch{
            {"--unavailable", "FALLBACK"}, hook("PermissionRequest"), clientEnvironment(home)};
        if (length > sunPath) {
            const auto result = runQuorvel(launch);
            expectCleanExit(result);
            EXPECT_EQ(result.output, "FALLBACK");
            continue;
        }
        FakeHookServer server(socket);
        server.setHandler(replyInPieces({"reached"}));
        const auto result = runQuorvel(launch);
        expectCleanExit(result);
        EXPECT_EQ(result.output, "reached");
    }
}

namespace {

// The client started from a process the test forks itself, for process trees that posix_spawn
// cannot build. Everything a child needs is prepared before the fork, so the child makes only
// async-signal-safe calls (the test process has other threads).
class ForkedClient
{
  public:
    // `shell`, when given, runs the client as a hook command: `shell -c 'client'`.
    explicit ForkedClient(const fs::path& home, const std::string& shell = "")
        : m_environment(clientEnvironment(home))
    {
        for (int* pipe : {m_input, m_output, m_errors}) {
            if (::pipe2(pipe, O_CLOEXEC) != 0)
                throw std::runtime_error("pipe failed");
        }
        m_arguments = {VELQUIST_QUORVEL_PATH};
        if (!shell.empty())
            m_arguments = {shell, "-c", "'" + m_arguments[0] + "'"};
        for (auto& argument : m_arguments)
            m_argv.push_back(argument.data());
        m_argv.push_back(nullptr);
        for (auto& entry : m_environment)
            m_envp.push_back(entry.data());
        m_envp.push_back(nullptr);
    }

    // In every forked process: the test's ends must go, or the client never sees the end of its
    // input.
    void dropTestEnds() const
    {
        ::close(m_input[1]);
        ::close(m_output[0]);
        ::close(m_errors[0]);
    }

    // In the forked process that becomes the client.
    [[noreturn]] void exec() const
    {
        ::dup2(m_input[0], STDIN_FILENO);
        ::dup2(m_output[1], STDOUT_FILENO);
        ::dup2(m_errors[1], STDERR_FILENO);
        ::execve(m_argv[0], m_argv.data(), m_envp.data());
        ::_exit(127);
    }

    // In the test, once forked: writes the hook object and collects what the client prints.
    QuorvelResult feed(const std::string& payload)
    {
        ::close(m_input[0]);
        ::close(m_output[1]);
        ::close(m_errors[1]);
        if (::write(m_input[1], payload.data(), payload.size()) != static_cast<ssize_t>(payload.size()))
            throw std::runtime_error("cannot write the hook object");
        ::close(m_input[1]);
        QuorvelResult result = collectOutput(m_output[0], m_errors[0], 60s);
        ::close(m_output[0]);
        ::close(m_errors[0]);
        return result;
    }

  private:
    std::vector<std::string> m_arguments;
    std::vector<std::string> m_environment;
    std::vector<char*> m_argv;
    std::vector<char*> m_envp;
    int m_input[2] = {-1, -1};
    int m_output[2] = {-1, -1};
    int m_errors[2] = {-1, -1};
};

// A new pseudo-terminal's master end, or -1, and the name of its other end.
std::pair<int, std::string> openPseudoTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return {-1, {}};
    return {master, ::ptsname(master)};
}

// In a forked process: a session of its own whose controlling terminal is `terminal`.
void takeTerminal(int master, const std::string& terminal)
{
    ::close(master);
    ::setsid();
    const int tty = ::open(terminal.c_str(), O_RDWR);
    if (tty < 0 || ::ioctl(tty, TIOCSCTTY, 0) != 0)
        ::_exit(3);
}

} // namespace

TEST_F(QuorvelTest, TerminalIsFoundOnALaterAncestor)
{
    const auto [master, terminal] = openPseudoTerminal();
    ASSERT_GE(master, 0);
    FakeHookServer server(socketPath());
    ForkedClient client(m_home.path());

    // holder (owns the terminal) <- middle (left it) <- client
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        client.dropTestEnds();
        takeTerminal(master, terminal);
        const pid_t middle = ::fork();
        if (middle == 0) {
            ::setsid();
            const pid_t leaf = ::fork();
            if (leaf == 0)
                client.exec();
            ::waitpid(leaf, nullptr, 0);
            ::_exit(0);
        }
        ::waitpid(middle, nullptr, 0);
        ::_exit(0);
    }
    const auto result = client.feed(hook("Stop"));
    int status = 0;
    ::waitpid(holder, &status, 0);
    ::close(master);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.output + result.errors, "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const auto requests = server.requests(1);
    ASSERT_EQ(requests.size(), 1u);
    const json meta = parse(requests[0])["meta"];
    EXPECT_EQ("/dev/" + meta["tty"].get<std::string>(), terminal);
    EXPECT_EQ(meta["ttyOwnerPid"], holder);
    ASSERT_GE(meta["ancestorPids"].size(), 2u);
    EXPECT_EQ(meta["ancestorPids"][1], holder);
}

TEST_F(QuorvelTest, TheTerminalOwnerIsTheAgentNotTheShellRunningTheHookCommand)
{
    // dash forks the command it is given with -c, so a short-lived shell holding the agent's
    // terminal sits between the agent and the client.
    FakeHookServer server(socketPath());
    std::size_t seen = 0;
    for (const std::string shell : {"/bin/sh", "/bin/dash", "/bin/bash"}) {
        if (::access(shell.c_str(), X_OK) != 0)
            continue;
        SCOPED_TRACE(shell);
        const auto [master, terminal] = openPseudoTerminal();
        ASSERT_GE(master, 0);
        ForkedClient client(m_home.path(), shell);

        // agent (owns the terminal) <- shell -c <- client
        const pid_t agent = ::fork();
        ASSERT_GE(agent, 0);
        if (agent == 0) {
            client.dropTestEnds();
            takeTerminal(master, terminal);
            const pid_t hook = ::fork();
            if (hook == 0)
                client.exec();
            int status = 0;
            ::waitpid(hook, &status, 0);
            ::_exit(0);
        }
        const auto result = client.feed(hook("Stop"));
        int status = 0;
        ::waitpid(agent, &status, 0);
        ::close(master);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.output + result.errors, "");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        const auto requests = server.requests(++seen);
        ASSERT_EQ(requests.size(), seen);
        const json meta = parse(requests.back())["meta"];
        EXPECT_EQ("/dev/" + meta["tty"].get<std::string>(), terminal);
        EXPECT_EQ(meta["ttyOwnerPid"], agent);
        // dash stays between them (bash may replace itself with the command).
        ASSERT_GE(meta["ancestorPids"].size(), 2u);
        if (shell != "/bin/bash") {
            EXPECT_EQ(meta["ancestorPids"][1], agent);
        }
    }
}

TEST_F(QuorvelTest, AnOrphanedClientReportsNoAncestorsAndNoTerminal)
{
    FakeHookServer server(socketPath());
    ForkedClient client(m_home.path());
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        client.dropTestEnds();
        const pid_t self = ::getpid();
        if (::fork() == 0) {
            // Start only once the parent is gone.
            const timespec pause{0, 1000000};
            for (int i = 0; i < 5000 && ::getppid() == self; ++i)
                ::nanosleep(&pause, nullptr);
            client.exec();
        }
        ::_exit(0);
    }
    ::waitpid(parent, nullptr, 0);
    const auto result = client.feed(hook("Stop"));
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.output + result.errors, "");

    const auto requests = server.requests(1);
    ASSERT_EQ(requests.size(), 1u);
    const json meta = parse(requests[0])["meta"];
    if (meta["ppid"] != 1)
        GTEST_SKIP() << "orphans are adopted by a subreaper here, not by process 1";
    EXPECT_EQ(meta["ancestorPids"], json::array());
    EXPECT_TRUE(meta["tty"].is_null());
    EXPECT_TRUE(meta["ttyOwnerPid"].is_null());
}

TEST_F(QuorvelTest, AppPathDecidesWhetherTheClientCleansUpInstead)
{
    const std::string own = R"({"type":"command","command":")" + m_home.path().string() +
                            R"(/.local/share/Velquist/bin/quorvel --engine claude"})";
    const std::string settings = R"({"model":"x","hooks":{"Stop":[{"hooks":[)" + own + "]}]}}";
    const fs::path existing = m_home.write("apps/velquist", "binary");
    const std::string deleted = (m_home.path() / "apps/deleted velquist").string();
    struct Case
    {
        std::string name;
        std::optional<std::string> appPath;
        bool listening; // the application answers on its socket
        bool cleansUp;
    };
    const Case cases[] = {
        {"no app-path", std::nullopt, true, false},
        {"empty", "", true, false},
        {"white space only", " \n\t ", true, false},
        {"relative path", "apps/gone", true, false},
        {"application present", existing.string() + "\n", true, false},
        // Moved or rebuilt while it runs: the path is gone, the application is not.
        {"application moved but running", deleted, true, false},
        {"application deleted", deleted, false, true},
        {"application folder deleted", (m_home.path() / "gone/bin/velquist").string() + "  \n", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_home.write(".claude/settings.json", settings);
        fs::remove(m_home.path() / ".claude/settings.json.velquist.bak");
        fs::remove(supportFolder() / "app-path");
        if (c.appPath)
            m_home.write(".local/share/Velquist/app-path", *c.appPath);
        std::optional<FakeHookServer> server;
        if (c.listening) {
            server.emplace(socketPath());
            server->setHandler(replyInPieces({"allow"}));
        }
        const auto result = run({"--unavailable", "FALLBACK"}, hook("PermissionRequest"));
        expectCleanExit(result);
        if (c.cleansUp) {
            EXPECT_EQ(result.output, "");
            EXPECT_EQ(json::parse(m_home.read(".claude/settings.json")), json({{"model", "x"}}));
            EXPECT_EQ(m_home.read(".claude/settings.json.velquist.bak"), settings);
        } else {
            EXPECT_EQ(result.output, "allow");
            EXPECT_EQ(server->requests(1).size(), 1u);
            EXPECT_EQ(m_home.read(".claude/settings.json"), settings);
        }
        server.reset();
        fs::remove(socketPath());
    }
}

TEST_F(QuorvelTest, CleanUpWaitsForTheLockButNotForEver)
{
    const std::string settings = R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":")" +
                                 m_home.path().string() + R"(/.local/share/Velquist/bin/quorvel"}]}]}})";
    m_home.write(".claude/settings.json", settings);
    m_home.write(".local/share/Velquist/app-path", (m_home.path() / "deleted/velquist").string());
    const fs::path lock = supportFolder() / "hooks.lock";

    // Someone else edits the agents' files: the client gives up after a bounded wait, edits
    // nothing, and the agent goes on.
    const int holder = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    auto result = run({"--unavailable", "FALLBACK"}, hook("PermissionRequest"));
    expectCleanExit(result);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(m_home.read(".claude/settings.json"), settings);

    // Once it is free, the next hook event does the clean-up.
    ::flock(holder, LOCK_UN);
    ::close(holder);
    result = run({}, hook("Stop"));
    expectCleanExit(result);
    EXPECT_EQ(json::parse(m_home.read(".claude/settings.json")), json::object());
}
