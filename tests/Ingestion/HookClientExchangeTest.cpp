// The real hook client against the real server: both ends of the socket protocol together.
#ifdef VELQUIST_QUORVEL_PATH

#include "Ingestion/HookSocketServer.h"
#include "Ingestion/PendingDecision.h"
#include "Shared/HomePaths.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace velquist;
using nlohmann::json;

namespace {

class HookClientExchangeTest : public ::testing::Test
{
  protected:
    HookClientExchangeTest()
    {
        // A live application, so the client relays instead of cleaning up after a deleted one.
        m_home.write(".local/share/Velquist/app-path", VELQUIST_APP_PATH);
        m_server.start();
    }

    // Starts the client as an agent's hook does and feeds it the hook JSON.
    std::unique_ptr<QProcess> startClient(const QStringList& arguments, const json& hook)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(m_home.path().string()));
        process->setProcessEnvironment(environment);
        process->start(QString::fromUtf8(VELQUIST_QUORVEL_PATH), arguments);
        EXPECT_TRUE(process->waitForStarted());
        process->write(QByteArray::fromStdString(hook.dump()));
        process->closeWriteChannel();
        return process;
    }

    // What the client printed for the agent, once it has exited.
    std::string finish(QProcess& process)
    {
        EXPECT_TRUE(test::waitUntil([&] { return process.state() == QProcess::NotRunning; }));
        EXPECT_EQ(process.exitCode(), 0);
        return process.readAllStandardOutput().toStdString();
    }

    test::TemporaryFolder m_home;
    const HomePaths m_paths{m_home.path()};
    test::ManualScheduler m_scheduler;
    std::vector<HookEvent> m_events;
    std::vector<std::shared_ptr<PendingDecision>> m_decisions;
    HookSocketServer m_server{
        m_scheduler, m_scheduler, [this](HookEvent event) { m_events.push_back(std::move(event)); },
        [this](std::shared_ptr<PendingDecision> decision) { m_decisions.push_back(std::move(decision)); },
        m_paths.socketPath()};
};

const json kPermission{{"hook_event_name", "PermissionRequest"},
                       {"session_id", "s-2"},
                       {"tool_name", "Bash"},
                       {"tool_input", {{"command", "rm -rf build"}}}};

} // namespace

TEST_F(HookClientExchangeTest, OrdinaryEventArrivesWithTheClientsContext)
{
    auto client =
        startClient({"--engine", "codex"},
                    {{"hook_event_name", "UserPromptSubmit"}, {"session_id", "s-1"}, {"prompt", "hi"}});
    EXPECT_EQ(finish(*client), "");
    ASSERT_TRUE(test::waitUntil([&] { return m_events.size() == 1; }));
    EXPECT_EQ(m_events[0].name, HookEvent::Name::userPromptSubmit);
    EXPECT_EQ(m_events[0].engine, "codex");
    EXPECT_EQ(m_events[0].prompt, "hi");
    EXPECT_FALSE(m_events[0].decisionID);
    EXPECT_FALSE(m_events[0].ancestorPIDs.empty());
    EXPECT_TRUE(m_decisions.empty());
}

TEST_F(HookClientExchangeTest, DecisionSentFromTheApplicationIsPrintedUnchanged)
{
    auto client = startClient({"--engine", "claude", "--decide-on", "PermissionRequest"}, kPermission);
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 1; }));
    const auto& event = m_decisions[0]->event();
    EXPECT_TRUE(event.decisionID && !event.decisionID->empty());
    EXPECT_EQ(event.activity, "$ rm -rf build");
    EXPECT_EQ(client->state(), QProcess::Running);

    const std::string reply =
        R"({"hookSpecificOutput":{"hookEventName":"PermissionRequest","decision":{"behavior":"allow"}}})";
    EXPECT_TRUE(m_decisions[0]->send(reply));
    EXPECT_EQ(finish(*client), reply);
}

TEST_F(HookClientExchangeTest, DecisionClosedWithoutReplyLeavesTheClientsFallback)
{
    const QString fallback = R"({"decision":"ask"})";
    auto client =
        startClient({"--engine", "gemini", "--decide-on", "BeforeTool", "--unavailable", fallback},
                    {{"hook_event_name", "BeforeTool"}, {"session_id", "s-3"}, {"tool_name", "read_file"}});
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 1; }));
    EXPECT_EQ(m_decisions[0]->event().name, HookEvent::Name::permissionRequest);
    m_decisions[0]->close();
    EXPECT_EQ(finish(*client), fallback.toStdString());
}

#endif
