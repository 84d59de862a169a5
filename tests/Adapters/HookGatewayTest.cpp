#include "Adapters/HookGateway.h"
#include "Actions/ActionDispatcher.h"
#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Core/SessionStore.h"
#include "Ingestion/HookSocketServer.h"
#include "support/ManualScheduler.h"
#include "support/RecordingFileWatcher.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

using namespace velquist;
using namespace velquist::test;
using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// Writes one request the way the hook client does; `wait` half-closes and keeps the socket to read
// the reply, otherwise the socket is closed at once.
class RawClient
{
  public:
    RawClient(const fs::path& socket, const json& request, bool wait)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        const std::string bytes = request.dump();
        [[maybe_unused]] const auto wrote = ::write(m_fd, bytes.data(), bytes.size());
        if (wait) {
            ::shutdown(m_fd, SHUT_WR);
        } else {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // Whether the server ended the connection, and what it sent before.
    bool ended()
    {
        pollfd ready{m_fd, POLLIN, 0};
        if (m_fd < 0 || ::poll(&ready, 1, 0) <= 0)
            return false;
        char buffer[1024];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count > 0) {
            m_reply.append(buffer, static_cast<std::size_t>(count));
            return false;
        }
        return true;
    }
    const std::string& reply() const { return m_reply; }

  private:
    int m_fd = -1;
    std::string m_reply;
};

json request(const std::string& engine, const std::string& name, const std::string& session,
             std::optional<std::string> decisionID = std::nullopt)
{
    json meta{{"engine", engine}};
    if (decisionID)
        meta["decisionId"] = *decisionID;
    return json{{"payload",
                 {{"hook_event_name", name},
                  {"session_id", session},
                  {"tool_name", "Bash"},
                  {"tool_input", {{"command", "ls"}}}}},
                {"meta", meta}};
}

class HookGatewayTest : public ::testing::Test
{
  protected:
    HookGatewayTest()
    {
        gateway.addAdapter(std::make_unique<HookAdapter>(
            store,
            AgentEngine{AgentKind::claudeCode, "Claude", AgentMechanism::blockingHook,
                        AgentCapabilities::of(AgentKind::claudeCode), "claude"},
            std::make_unique<CodexEngineProfile>(HomePaths(home.path())),
            HookAdapter::Services{clock, clock, watcher, dispatcher}));
        gateway.adapter("claude")->start();
    }

    TemporaryFolder home;
    ManualScheduler clock;
    SessionStore store{clock, clock, home.path() / "sessions.json"};
    ActionDispatcher dispatcher{clock};
    RecordingFileWatcher watcher;
    const fs::path socket = home.path() / "support" / "notch.sock";
    HookGateway gateway{clock, clock, socket};
};

} // namespace

TEST_F(HookGatewayTest, EventsReachTheAdapterOfTheirEngine)
{
    gateway.start();
    ASSERT_TRUE(gateway.isListening());
    RawClient start(socket, request("claude", "SessionStart", "s1"), false);
    ASSERT_TRUE(waitUntil([&] { return store.session("claude:s1") != nullptr; }));

    // No Codex adapter was added: its event is dropped.
    RawClient codex(socket, request("codex", "SessionStart", "c1"), false);
    RawClient marker(socket, request("claude", "SessionStart", "s2"), false);
    ASSERT_TRUE(waitUntil([&] { return store.session("claude:s2") != nullptr; }));
    EXPECT_EQ(store.session("codex:c1"), nullptr);
    EXPECT_EQ(store.sessions().size(), 2u);
}

TEST_F(HookGatewayTest, DecisionsAreHeldByTheirAdapterOrClosedAtOnce)
{
    gateway.start();
    RawClient held(socket, request("claude", "PermissionRequest", "s1", "d1"), true);
    ASSERT_TRUE(waitUntil([&] { return gateway.adapter("claude")->holdsDecision("claude:s1"); }));
    EXPECT_FALSE(held.ended());

    RawClient orphan(socket, request("codex", "PermissionRequest", "c1", "d2"), true);
    ASSERT_TRUE(waitUntil([&] { return orphan.ended(); }));
    EXPECT_EQ(orphan.reply(), "");

    ASSERT_TRUE(
        dispatcher.resolver(AgentKind::claudeCode)->resolveDecision(ControlAction::deny(), "claude:s1"));
    ASSERT_TRUE(waitUntil([&] { return held.ended(); }));
    EXPECT_EQ(json::parse(held.reply())["hookSpecificOutput"]["decision"]["message"], "Denied from Velquist");
}

TEST_F(HookGatewayTest, StopRemovesTheSocketAndTheAdapters)
{
    gateway.start();
    ASSERT_TRUE(fs::exists(socket));
    gateway.stop();
    EXPECT_FALSE(fs::exists(socket));
    EXPECT_EQ(gateway.server(), nullptr);
    EXPECT_TRUE(gateway.adapters().empty());
    EXPECT_EQ(dispatcher.resolver(AgentKind::claudeCode), nullptr);
}

TEST_F(HookGatewayTest, FailedStartThrowsAndLeavesNoServer)
{
    // The support folder cannot be made where a file stands.
    std::ofstream(home.path() / "blocked") << "x";
    HookGateway blocked(clock, clock, home.path() / "blocked" / "notch.sock");
    EXPECT_THROW(blocked.start(), std::system_error);
    EXPECT_EQ(blocked.server(), nullptr);
    EXPECT_FALSE(blocked.isListening());
}
