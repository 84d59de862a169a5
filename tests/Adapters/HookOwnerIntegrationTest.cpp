// The process a session belongs to, as the real hook client finds it when an agent runs its hook
// commands through /bin/sh -c: the shell in between is gone as soon as its command ends, and the
// session must not be swept on its account.

#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Adapters/HookGateway.h"
#include "Adapters/HookHousekeeping.h"
#include "Core/SessionStore.h"
#include "Shared/HomePaths.h"
#include "Shared/ProcessTree.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingFileWatcher.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// Reads "<event file> <foreground|background>" lines and runs the hook command for each through
// /bin/sh -c, as an agent does; a foreground run leaves "<event file>.done" when it has ended.
constexpr const char* kAgentScript = R"(while read -r name how; do
  if [ "$how" = background ]; then
    /bin/sh -c "$HOOK" < "$DIR/$name.json" > "$DIR/$name.out" 2>&1 &
  else
    /bin/sh -c "$HOOK" < "$DIR/$name.json" > "$DIR/$name.out" 2>&1
    : > "$DIR/$name.done"
  fi
done
)";

// A stand-in agent: a session leader that owns a pseudo-terminal and runs its hooks through the
// shell. Everything the child needs is prepared before the fork (the test process has threads).
class StandInAgent
{
  public:
    StandInAgent(const fs::path& home, const std::string& hookCommand) : m_folder(home / "agent")
    {
        fs::create_directories(m_folder);
        std::ofstream(m_folder / "agent.sh") << kAgentScript;
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        const std::string terminal = ::ptsname(m_master);
        int control[2];
        if (::pipe2(control, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        m_control = control[1];

        std::vector<std::string> arguments = {"/bin/sh", (m_folder / "agent.sh").string()};
        std::vector<std::string> environment = {"HOME=" + home.string(), "PATH=/usr/bin:/bin",
                                                "HOOK=" + hookCommand, "DIR=" + m_folder.string()};
        std::vector<char*> argv, envp;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        m_pid = ::fork();
        if (m_pid < 0)
            throw std::runtime_error("fork failed");
        if (m_pid == 0) {
            ::setsid();
            const int tty = ::open(terminal.c_str(), O_RDWR);
            if (tty < 0 || ::ioctl(tty, TIOCSCTTY, 0) != 0)
                ::_exit(3);
            ::dup2(control[0], STDIN_FILENO);
            ::dup2(tty, STDOUT_FILENO);
            ::dup2(tty, STDERR_FILENO);
            ::signal(SIGPIPE, SIG_DFL);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(control[0]);
    }
    ~StandInAgent()
    {
        ::close(m_control);
        // The agent and the hooks it started share its session and process group.
        ::kill(-m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        ::close(m_master);
    }
    StandInAgent(const StandInAgent&) = delete;
    StandInAgent& operator=(const StandInAgent&) = delete;

    pid_t pid() const { return m_pid; }

    // Runs one hook; a foreground one is waited for.
    void hook(const std::string& name, const json& payload, bool background = false)
    {
        std::ofstream(m_folder / (name + ".json")) << payload.dump();
        const std::string line = name + (background ? " background\n" : " foreground\n");
        if (::write(m_control, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            throw std::runtime_error("the stand-in agent stopped reading");
        if (!background)
            waitUntil([&] { return fs::exists(m_folder / (name + ".done")); });
    }
    std::string output(const std::string& name) const
    {
        std::ifstream in(m_folder / (name + ".out"));
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    fs::path m_folder;
    int m_master = -1;
    int m_control = -1;
    pid_t m_pid = -1;
};

std::string singleQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string(R"('\'')") : std::string(1, c);
    return quoted + "'";
}

struct EngineCase
{
    AgentKind kind;
    std::string engine;
    std::function<std::unique_ptr<EngineProfile>(const HomePaths&)> profile;
    std::string requestEvent;
    std::string allowed;
};

} // namespace

TEST(HookOwnerIntegrationTest, ASessionWhoseHooksRunThroughTheShellSurvivesTheSweep)
{
    const EngineCase cases[] = {
        {AgentKind::gemini, "gemini",
         [](const HomePaths& paths) { return std::make_unique<GeminiEngineProfile>(paths); }, "BeforeTool",
         R"({"decision":"allow"})"},
        {AgentKind::qwen, "qwen",
         [](const HomePaths& paths) { return std::make_unique<QwenEngineProfile>(paths); },
         "PermissionRequest",
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        TemporaryFolder home;
        const HomePaths paths(home.path());
        ManualScheduler clock;
        SessionStore store{clock, clock, home.path() / "sessions.json"};
        ActionDispatcher dispatcher{clock};
        RecordingFileWatcher watcher;
        HookGateway gateway{clock, clock, paths.socketPath()};
        auto& adapter = gateway.addAdapter(std::make_unique<HookAdapter>(
            store,
            AgentEngine{c.kind, c.engine, AgentMechanism::blockingHook, AgentCapabilities::of(c.kind),
                        c.engine},
            c.profile(paths), HookAdapter::Services{clock, clock, watcher, dispatcher}));
        adapter.start();
        gateway.start();
        const HookInstallTarget target = adapter.profile().installTarget();
        std::string command =
            singleQuoted(VELQUIST_QUORVEL_PATH) + " --engine " + c.engine + " --decide-on " + target.decideOn;
        if (target.unavailableResponse)
            command += " --unavailable " + singleQuoted(*target.unavailableResponse);
        const std::string key = c.engine + ":agent-session";
        const json base = {{"session_id", "agent-session"}, {"cwd", "/home/dev/app"}};

        StandInAgent agent(home.path(), command);
        json start = base;
        start["hook_event_name"] = "SessionStart";
        agent.hook("start", start);
        ASSERT_TRUE(waitUntil([&] { return store.session(key) != nullptr; }));

        json request = base;
        request["hook_event_name"] = c.requestEvent;
        request["tool_name"] = "run_shell_command";
        request["tool_input"] = {{"command", "make"}};
        agent.hook("request", request, /*background=*/true);
        ASSERT_TRUE(waitUntil([&] { return adapter.holdsDecision(key); }));

        // While the request waits, the agent tells of it through another short-lived shell. (The
        // clock moves so that the notice's arrival shows in the session's date.)
        clock.advance(std::chrono::seconds(1));
        json notice = base;
        notice["hook_event_name"] = "Notification";
        notice["notification_type"] = "permission_prompt";
        notice["message"] = "The agent needs your permission to use Shell";
        agent.hook("notice", notice);
        ASSERT_TRUE(waitUntil([&] { return store.session(key)->updatedAt == clock.now(); }));
        EXPECT_EQ(store.session(key)->terminal.ownerPID, agent.pid());

        clock.advance(HookHousekeeping::kCleanupInterval);
        ASSERT_NE(store.session(key), nullptr) << "a live agent's session was swept";
        EXPECT_TRUE(adapter.holdsDecision(key));
        settle();
        EXPECT_EQ(agent.output("request"), "") << "the held request was answered at the sweep";

        // The request is still the user's to answer, and the answer reaches the agent.
        dispatcher.performNow(ControlAction::approve(GrantScope::once), *store.session(key));
        ASSERT_TRUE(waitUntil([&] { return agent.output("request") == c.allowed; }))
            << agent.output("request");
        EXPECT_TRUE(ProcessTree::isAlive(agent.pid()));
    }
}
