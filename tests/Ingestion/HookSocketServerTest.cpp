#include "Ingestion/HookSocketServer.h"
#include "Ingestion/PendingDecision.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

sockaddr_un addressOf(const fs::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

std::size_t openDescriptorCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

std::string request(const std::string& name, const json& meta = nullptr, json payload = json::object())
{
    payload["hook_event_name"] = name;
    payload["session_id"] = "session-1";
    json body{{"payload", payload}};
    if (!meta.is_null())
        body["meta"] = meta;
    return body.dump();
}

// A hook client: writes its request on a thread of its own (the server accepts and answers on this
// thread's event loop) and reads the reply while running that loop.
class Client
{
  public:
    explicit Client(const fs::path& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = addressOf(path);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Client()
    {
        if (m_writer.joinable())
            m_writer.join();
        close();
    }

    bool connected() const { return m_fd >= 0; }

    // Writes `bytes` in pieces of `piece` bytes (all at once when 0), then half-closes when `end`.
    void write(std::string bytes, std::size_t piece = 0, bool end = true)
    {
        m_writer = std::thread([this, bytes = std::move(bytes), piece, end] {
            std::string_view rest = bytes;
            while (!rest.empty()) {
                const std::size_t size = piece ? std::min(piece, rest.size()) : rest.size();
                const ssize_t wrote = ::send(m_fd, rest.data(), size, MSG_NOSIGNAL);
                if (wrote <= 0)
                    return;
                rest.remove_prefix(static_cast<std::size_t>(wrote));
                if (piece)
                    std::this_thread::sleep_for(200us);
            }
            if (end)
                ::shutdown(m_fd, SHUT_WR);
        });
    }

    // The bytes the server sent before ending the stream; none when it did not end it in time.
    std::optional<std::string> reply(std::chrono::milliseconds wait = 10s)
    {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            pollfd watch{m_fd, POLLIN, 0};
            if (::poll(&watch, 1, 5) <= 0)
                continue;
            char chunk[65536];
            const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                return bytes;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return std::nullopt;
    }

    // Whether the server has ended the stream or sent anything, after running the event loop.
    bool hasHeardFromServer()
    {
        QCoreApplication::processEvents();
        pollfd watch{m_fd, POLLIN, 0};
        return ::poll(&watch, 1, 0) > 0;
    }

    void close()
    {
        if (m_writer.joinable())
            m_writer.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd = -1;
    std::thread m_writer;
};

class HookSocketServerTest : public ::testing::Test
{
  protected:
    explicit HookSocketServerTest(HookServerLimits limits = {})
        : m_path(m_folder.path() / "support" / "notch.sock"),
          m_server(
              m_scheduler, m_scheduler, [this](HookEvent event) { m_events.push_back(std::move(event)); },
              [this](std::shared_ptr<PendingDecision> decision) {
                  m_decisions.push_back(std::move(decision));
              },
              m_path, limits)
    {
    }

    void SetUp() override { m_server.start(); }

    // Sends one whole request and returns what came back once the server ended the stream.
    std::optional<std::string> exchange(const std::string& bytes, std::size_t piece = 0)
    {
        Client client(m_path);
        EXPECT_TRUE(client.connected());
        client.write(bytes, piece);
        auto reply = client.reply();
        // An ordinary request's connection closes as soon as it is read; its event reaches the
        // main thread on a later turn.
        EXPECT_TRUE(test::waitUntil([&] {
            return m_server.readingCount() == 0 && m_server.queue().eventCount() == 0 &&
                   m_server.queue().decisionCount() == 0;
        }));
        return reply;
    }

    test::TemporaryFolder m_folder;
    fs::path m_path;
    test::ManualScheduler m_scheduler;
    std::vector<HookEvent> m_events;
    std::vector<std::shared_ptr<PendingDecision>> m_decisions;
    HookSocketServer m_server;
};

class LimitedHookSocketServerTest : public HookSocketServerTest
{
  protected:
    LimitedHookSocketServerTest() : HookSocketServerTest(HookServerLimits{1024 * 1024, 10s, 2, {}}) {}
};

} // namespace

TEST_F(HookSocketServerTest, ListensPrivatelyAndDeliversAnEventAfterClosingItsConnection)
{
    struct stat info
    {
    };
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(m_path.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    EXPECT_EQ(exchange(request("Stop", {{"engine", "claude"}, {"tty", "pts/4"}})), "");
    ASSERT_EQ(m_events.size(), 1u);
    EXPECT_EQ(m_events[0].name, HookEvent::Name::stop);
    EXPECT_EQ(m_events[0].tty, "pts/4");
    EXPECT_TRUE(m_decisions.empty());
    EXPECT_EQ(m_server.readingCount(), 0u);
}

TEST_F(HookSocketServerTest, MalformedRequestsDeliverNothingAndTheServerGoesOn)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string valid = request("Stop");
    const std::string oversized =
        request("Stop", nullptr, {{"prompt", std::string(HookServerLimits{}.maxRequestBytes, 'x')}});
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"not JSON", "hello"},
        {"an array", "[1, 2, 3]"},
        {"payload as a string", R"({"payload": "Stop", "meta": {}})"},
        {"no event name", R"({"payload": {"session_id": "s"}})"},
        {"no session id", R"({"payload": {"hook_event_name": "Stop"}})"},
        {"event the engine does not use", request("Stop", {{"engine", "cursor"}})},
        {"deep nesting", R"({"payload": {"hook_event_name": "Stop", "session_id": "s", "x": )" + deep + "}}"},
        {"invalid UTF-8", "{\"payload\": {\"hook_event_name\": \"Stop\", \"session_id\": \"s\xc3\x28\"}}"},
        {"cut short", valid.substr(0, valid.size() - 1)},
        {"oversized", oversized},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(exchange(bytes), "");
        EXPECT_TRUE(m_events.empty());
        EXPECT_TRUE(m_decisions.empty());
    }
    EXPECT_TRUE(m_server.isListening());
    EXPECT_EQ(exchange(valid), "");
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(HookSocketServerTest, MistypedMetaCountsAsMissing)
{
    // A decision id that is no string must not hold the connection open.
    const std::string cases[] = {
        request("PermissionRequest", "meta"),
        request("PermissionRequest", {{"decisionId", 42}, {"engine", 7}, {"ttyOwnerPid", "1"}}),
    };
    for (const auto& bytes : cases) {
        SCOPED_TRACE(bytes);
        m_events.clear();
        EXPECT_EQ(exchange(bytes), "");
        ASSERT_EQ(m_events.size(), 1u);
        EXPECT_EQ(m_events[0].engine, "claude");
        EXPECT_FALSE(m_events[0].decisionID);
        EXPECT_TRUE(m_decisions.empty());
    }
}

TEST_F(HookSocketServerTest, RequestInManySmallWritesOrOverOneMebibyteArrivesOnceWhole)
{
    const std::string prompt(3000, 'p');
    EXPECT_EQ(exchange(request("UserPromptSubmit", nullptr, {{"prompt", prompt}}), 7), "");
    ASSERT_EQ(m_events.size(), 1u);
    EXPECT_EQ(m_events[0].prompt, prompt);

    const std::string large(1536 * 1024, 'q');
    EXPECT_EQ(exchange(request("UserPromptSubmit", nullptr, {{"prompt", large}})), "");
    ASSERT_EQ(m_events.size(), 2u);
    EXPECT_EQ(m_events[1].prompt, large);
}

TEST_F(HookSocketServerTest, PermissionRequestWithDecisionIdStaysOpenUntilSentOnce)
{
    Client client(m_path);
    client.write(request("PermissionRequest", {{"decisionId", "d-1"}}, {{"tool_name", "Bash"}}));
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 1u; }));
    const auto decision = m_decisions[0];
    EXPECT_EQ(decision->event().decisionID, "d-1");
    EXPECT_EQ(decision->event().toolName, "Bash");
    EXPECT_TRUE(decision->isOpen());
    EXPECT_TRUE(m_events.empty());
    EXPECT_FALSE(client.hasHeardFromServer());

    const std::string reply = R"({"hookSpecificOutput":{"decision":{"behavior":"allow"}}})";
    EXPECT_TRUE(decision->send(reply));
    EXPECT_FALSE(decision->isOpen());
    EXPECT_FALSE(decision->send("second"));
    decision->close();
    EXPECT_EQ(client.reply(), reply);

    // Without a decision id the same request is an ordinary event.
    EXPECT_EQ(exchange(request("PermissionRequest")), "");
    EXPECT_EQ(m_events.size(), 1u);
    EXPECT_EQ(m_decisions.size(), 1u);
}

TEST_F(HookSocketServerTest, ClosingOrDroppingAHeldDecisionEndsTheStreamWithoutReply)
{
    Client first(m_path);
    first.write(request("PermissionRequest", {{"decisionId", "d-1"}}));
    Client second(m_path);
    second.write(request("PermissionRequest", {{"decisionId", "d-2"}}));
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 2u; }));
    // The two are read side by side; either may come first.
    if (m_decisions[0]->event().decisionID != "d-1")
        std::swap(m_decisions[0], m_decisions[1]);

    m_decisions[0]->close();
    EXPECT_FALSE(m_decisions[0]->send("late"));
    EXPECT_EQ(first.reply(), "");
    m_decisions.clear();
    EXPECT_EQ(second.reply(), "");
}

TEST_F(HookSocketServerTest, ReplyToAClientThatLeftReportsFailure)
{
    Client client(m_path);
    client.write(request("PermissionRequest", {{"decisionId", "d-1"}}));
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 1u; }));
    client.close();
    // Sent before the event loop could notice the hang-up.
    EXPECT_FALSE(m_decisions[0]->send(std::string(4096, 'r')));
    EXPECT_FALSE(m_decisions[0]->isOpen());
}

TEST_F(HookSocketServerTest, KilledWaitingClientIsNoticed)
{
    const std::string bytes = request("PermissionRequest", {{"decisionId", "d-9"}});
    const sockaddr_un address = addressOf(m_path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls here: the parent has threads.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            ::_exit(1);
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            ::_exit(1);
        ::shutdown(fd, SHUT_WR);
        char reply[16];
        while (::read(fd, reply, sizeof reply) > 0) {
        }
        ::_exit(0);
    }
    ASSERT_TRUE(test::waitUntil([&] { return m_decisions.size() == 1u; }));
    bool noticed = false;
    m_decisions[0]->setOnHangUp([&] { noticed = true; });
    EXPECT_TRUE(m_decisions[0]->isOpen());

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(test::waitUntil([&] { return noticed; }));
    EXPECT_FALSE(m_decisions[0]->isOpen());
    EXPECT_FALSE(m_decisions[0]->send("too late"));
}

TEST_F(HookSocketServerTest, UnendedRequestIsClosedAtItsDeadlineAndItsDescriptorFreed)
{
    // A reader thread keeps a descriptor of its own for its life; have one ready beforehand.
    EXPECT_EQ(exchange(request("Stop")), "");
    const std::size_t before = openDescriptorCount();
    {
        Client client(m_path);
        client.write(R"({"payload": {"hook_event_name": "Stop", "session_id": "s"})", 0, false);
        ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 1u; }));
        m_scheduler.advance(9s);
        m_server.closeExpired();
        EXPECT_FALSE(client.hasHeardFromServer());
        m_scheduler.advance(1s);
        m_server.closeExpired();
        EXPECT_EQ(client.reply(), "");
    }
    ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 0u; }));
    ASSERT_TRUE(test::waitUntil([&] { return openDescriptorCount() == before; }));
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(LimitedHookSocketServerTest, ConnectionsBeyondTheReadingCapAreClosedAtOnce)
{
    Client first(m_path);
    first.write("{", 0, false);
    Client second(m_path);
    second.write("{", 0, false);
    ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 2u; }));

    Client third(m_path);
    third.write(request("Stop"));
    EXPECT_EQ(third.reply(), "");
    EXPECT_TRUE(m_events.empty());
    EXPECT_FALSE(first.hasHeardFromServer());

    // Once a reader is free the server takes requests again.
    m_scheduler.advance(10s);
    m_server.closeExpired();
    EXPECT_EQ(first.reply(), "");
    EXPECT_EQ(second.reply(), "");
    ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 0u; }));
    EXPECT_EQ(exchange(request("Stop")), "");
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(HookSocketServerTest, LiveSocketIsNotTakenAndStopLeavesAnotherServersFile)
{
    HookSocketServer second(m_scheduler, m_scheduler, nullptr, nullptr, m_path);
    EXPECT_THROW(second.start(), std::system_error);
    second.stop();
    EXPECT_TRUE(fs::exists(fs::symlink_status(m_path)));
    EXPECT_EQ(exchange(request("Stop")), "");
    EXPECT_EQ(m_events.size(), 1u);

    // The file was replaced behind the first server's back: stopping must not remove the new one.
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    HookSocketServer third(m_scheduler, m_scheduler, nullptr, nullptr, m_path);
    third.start();
    m_server.stop();
    EXPECT_TRUE(fs::exists(fs::symlink_status(m_path)));
    third.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_path)));
}

TEST(HookSocketServerStartTest, StaleSocketFileIsReplaced)
{
    test::TemporaryFolder folder;
    const fs::path path = folder.path() / "notch.sock";
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(stale);
    ASSERT_TRUE(fs::exists(fs::symlink_status(path)));

    test::ManualScheduler scheduler;
    std::vector<HookEvent> events;
    HookSocketServer server(
        scheduler, scheduler, [&](HookEvent event) { events.push_back(std::move(event)); }, nullptr, path);
    server.start();
    Client client(path);
    client.write(request("SessionStart"));
    EXPECT_EQ(client.reply(), "");
    EXPECT_TRUE(test::waitUntil([&] { return events.size() == 1u; }));

    server.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    EXPECT_FALSE(Client(path).connected());
}

TEST(HookSocketServerStartTest, FolderThatCannotBeMadeIsReported)
{
    test::TemporaryFolder folder;
    std::ofstream(folder.path() / "file") << "x";
    test::ManualScheduler scheduler;
    HookSocketServer server(scheduler, scheduler, nullptr, nullptr, folder.path() / "file" / "notch.sock");
    EXPECT_THROW(server.start(), std::system_error);
    EXPECT_FALSE(server.isListening());
}

TEST_F(HookSocketServerTest, ListenerWhoseFileVanishedIsRecreatedWithBackOff)
{
    // The socket file is gone and its path blocked: the tries go on, further and further apart.
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    fs::create_directory(m_path);
    m_scheduler.advance(HookSocketServer::kHealthInterval);
    EXPECT_FALSE(m_server.isListening());
    for (const auto pause : {1s, 2s, 4s}) {
        m_scheduler.advance(pause);
        EXPECT_FALSE(m_server.isListening());
    }
    fs::remove(m_path);
    m_scheduler.advance(7s);
    EXPECT_FALSE(m_server.isListening());
    m_scheduler.advance(1s);
    ASSERT_TRUE(m_server.isListening());
    EXPECT_EQ(exchange(request("Stop")), "");
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(HookSocketServerTest, DestroyingTheServerClosesConnectionsBeingRead)
{
    Client client(m_path);
    client.write("{", 0, false);
    ASSERT_TRUE(test::waitUntil([&] { return m_server.readingCount() == 1u; }));

    const fs::path otherPath = m_folder.path() / "other.sock";
    auto other = std::make_unique<HookSocketServer>(m_scheduler, m_scheduler, nullptr, nullptr, otherPath);
    other->start();
    Client reading(otherPath);
    reading.write("{", 0, false);
    ASSERT_TRUE(test::waitUntil([&] { return other->readingCount() == 1u; }));
    other.reset();
    EXPECT_EQ(reading.reply(), "");
    EXPECT_FALSE(fs::exists(fs::symlink_status(otherPath)));
    EXPECT_FALSE(client.hasHeardFromServer());
}
