// The whole road of a hook event: the real hook client, run as the agents run it, against the real
// gateway and adapters, for every hook-driven agent.

#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Adapters/HookGateway.h"
#include "Core/SessionStore.h"
#include "Ingestion/HookInstaller.h"
#include "Shared/HomePaths.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingFileWatcher.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

using namespace velquist;
using namespace velquist::test;
using nlohmann::json;

namespace {

struct EngineCase
{
    AgentKind kind;
    std::string engine;
    std::function<std::unique_ptr<EngineProfile>(const HomePaths&, const UserDefaults&)> profile;
    json start;
    json request;
    // The engine's own answer to an allow, byte for byte.
    std::string allowed;
    // The event that shows the request was settled in the agent's own prompt.
    json settled;
};

void PrintTo(const EngineCase& c, std::ostream* out)
{
    *out << c.engine;
}

json shellRequest(const std::string& event, const std::string& tool)
{
    return {{"hook_event_name", event}, {"tool_name", tool}, {"tool_input", {{"command", "make"}}}};
}

std::vector<EngineCase> engineCases()
{
    const std::string permissionAllow =
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})";
    return {
        {AgentKind::claudeCode,
         "claude",
         [](const HomePaths& paths, const UserDefaults& defaults) {
             return std::make_unique<ClaudeEngineProfile>(paths, defaults);
         },
         {{"hook_event_name", "SessionStart"}},
         shellRequest("PermissionRequest", "Bash"),
         permissionAllow,
         {{"hook_event_name", "PostToolUse"}, {"tool_name", "Bash"}}},
        {AgentKind::codex,
         "codex",
         [](const HomePaths& paths, const UserDefaults&) {
             return std::make_unique<CodexEngineProfile>(paths);
         },
         {{"hook_event_name", "SessionStart"}},
         shellRequest("PermissionRequest", "Bash"),
         permissionAllow,
         {{"hook_event_name", "PostToolUse"}, {"tool_name", "Bash"}}},
        {AgentKind::cursor,
         "cursor",
         [](const HomePaths& paths, const UserDefaults&) {
             return std::make_unique<CursorEngineProfile>(paths);
         },
         {{"hook_event_name", "sessionStart"}},
         {{"hook_event_name", "beforeShellExecution"}, {"command", "make"}},
         R"({"permission":"allow"})",
         {{"hook_event_name", "postToolUse"}, {"tool_name", "Shell"}}},
        {AgentKind::gemini,
         "gemini",
         [](const HomePaths& paths, const UserDefaults&) {
             return std::make_unique<GeminiEngineProfile>(paths);
         },
         {{"hook_event_name", "SessionStart"}},
         shellRequest("BeforeTool", "run_shell_command"),
         R"({"decision":"allow"})",
         {{"hook_event_name", "AfterTool"}, {"tool_name", "run_shell_command"}}},
        {AgentKind::qwen,
         "qwen",
         [](const HomePaths& paths, const UserDefaults&) {
             return std::make_unique<QwenEngineProfile>(paths);
         },
         {{"hook_event_name", "SessionStart"}},
         shellRequest("PermissionRequest", "run_shell_command"),
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})",
         {{"hook_event_name", "PostToolUse"}, {"tool_name", "run_shell_command"}}},
    };
}

// One run of the hook command that the installer writes for `target` and the payload's event,
// through the shell as the agents run it.
class HookClientRun
{
  public:
    HookClientRun(const HomePaths& paths, const HookInstallTarget& target, json payload,
                  const std::string& session)
    {
        const std::string event = payload["hook_event_name"];
        const std::string command =
            target.style == HookInstallStyle::cursorStyle
                ? HookInstaller::cursorCommand(event, target.helper.string())
                : HookInstaller::expectedCommand(target.helper.string(), target.engineNamespace,
                                                 target.decideOn, target.unavailableResponse);
        payload["session_id"] = session;
        payload["cwd"] = "/home/dev/app";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(paths.home().string()));
        m_process.setProcessEnvironment(environment);
        m_process.start("/bin/sh", {"-c", QString::fromStdString(command)});
        m_process.write(QByteArray::fromStdString(payload.dump()));
        m_process.closeWriteChannel();
    }
    ~HookClientRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool finished() const { return m_process.state() == QProcess::NotRunning; }
    bool waitFinished()
    {
        return waitUntil([this] { return finished(); });
    }
    std::string output() { return m_process.readAllStandardOutput().toStdString(); }
    int exitCode() const { return m_process.exitCode(); }

  private:
    QProcess m_process;
};

class HookIntakeIntegrationTest : public ::testing::TestWithParam<EngineCase>
{
  protected:
    TemporaryFolder home;
    const HomePaths paths{home.path()};
    ManualScheduler clock;
    MemoryDefaults defaults;
    SessionStore store{clock, clock, home.path() / "sessions.json"};
    ActionDispatcher dispatcher{clock};
    RecordingFileWatcher watcher;
    HookGateway gateway{clock, clock, paths.socketPath()};
};

} // namespace

TEST_P(HookIntakeIntegrationTest, RequestIsHeldAnsweredFromThePanelOrReleasedByTheTerminal)
{
    const EngineCase& c = GetParam();
    auto& adapter = gateway.addAdapter(std::make_unique<HookAdapter>(
        store,
        AgentEngine{c.kind, c.engine, AgentMechanism::blockingHook, AgentCapabilities::of(c.kind), c.engine},
        c.profile(paths, defaults), HookAdapter::Services{clock, clock, watcher, dispatcher}));
    adapter.start();
    const FileResult helper = HookInstaller::ensureHelperInstalled(paths, VELQUIST_QUORVEL_PATH);
    ASSERT_TRUE(helper.ok()) << helper.error;
    gateway.start();
    const HookInstallTarget target = adapter.profile().installTarget();
    const std::string key = c.engine + ":agent-session";

    HookClientRun start(paths, target, c.start, "agent-session");
    ASSERT_TRUE(start.waitFinished());
    EXPECT_EQ(start.output(), "");
    ASSERT_TRUE(waitUntil([&] { return store.session(key) != nullptr; }));
    EXPECT_EQ(store.session(key)->cwd, "/home/dev/app");

    HookClientRun request(paths, target, c.request, "agent-session");
    ASSERT_TRUE(waitUntil([&] { return adapter.holdsDecision(key); }));
    EXPECT_TRUE(store.session(key)->status.is<SessionStatus::NeedsPermission>());
    EXPECT_FALSE(request.finished());
    dispatcher.performNow(ControlAction::approve(GrantScope::once), *store.session(key));
    ASSERT_TRUE(request.waitFinished());
    EXPECT_EQ(request.exitCode(), 0);
    EXPECT_EQ(request.output(), c.allowed);
    EXPECT_EQ(store.session(key)->lastActivity, "Allowed from notch");

    HookClientRun answeredInTerminal(paths, target, c.request, "agent-session");
    ASSERT_TRUE(waitUntil([&] { return adapter.holdsDecision(key); }));
    HookClientRun toolRan(paths, target, c.settled, "agent-session");
    ASSERT_TRUE(answeredInTerminal.waitFinished());
    EXPECT_EQ(answeredInTerminal.output(), target.unavailableResponse.value_or(""));
    EXPECT_FALSE(adapter.holdsDecision(key));
    ASSERT_TRUE(toolRan.waitFinished());
}

INSTANTIATE_TEST_SUITE_P(Engines, HookIntakeIntegrationTest, ::testing::ValuesIn(engineCases()),
                         [](const auto& info) { return info.param.engine; });
