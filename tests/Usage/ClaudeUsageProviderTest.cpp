#include "Usage/ClaudeUsageProvider.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThreadPool>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace velquist::test {
namespace {

using namespace std::chrono_literals;

const std::string kToken = "sk-secret-TOKEN+/=&%";

// An HTTP server on 127.0.0.1 that answers every request with the scripted bytes and records
// what it was sent. "stall" answers nothing; "reset" drops the connection.
class ScriptedServer
{
  public:
    ScriptedServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    if (!buffer->contains("\r\n\r\n"))
                        return;
                    requests.push_back(buffer->toStdString());
                    buffer->clear();
                    if (reply == "reset")
                        socket->abort();
                    else if (reply != "stall")
                        socket->write(QByteArray::fromStdString(reply));
                });
            }
        });
    }
    QUrl url(const char* path = "/api/oauth/usage") const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    quint16 port() const { return m_server.serverPort(); }

    std::string reply;
    std::vector<std::string> requests;

  private:
    QTcpServer m_server;
};

std::string response(int status, const std::string& body, const std::string& headers = {})
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

// Standard error into a file for the life of the object, to search what was logged.
class CapturedStderr
{
  public:
    explicit CapturedStderr(const std::filesystem::path& file) : m_file(file), m_saved(::dup(STDERR_FILENO))
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~CapturedStderr() { restore(); }
    std::string text()
    {
        restore();
        std::ifstream in(m_file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    void restore()
    {
        if (m_saved < 0)
            return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    std::filesystem::path m_file;
    int m_saved;
};

class ClaudeUsageProviderTest : public ::testing::Test
{
  protected:
    ClaudeUsageProviderTest() { clock.setWallTime(Clock::WallTime(std::chrono::seconds(1'800'000'000))); }
    ~ClaudeUsageProviderTest() override { QThreadPool::globalInstance()->waitForDone(); }

    void writeCredentials(const std::string& text) const
    {
        std::ofstream(folder.path() / ".credentials.json") << text;
    }
    static std::string credentials(const std::string& extra = {})
    {
        return R"({"claudeAiOauth":{"accessToken":")" + kToken +
               R"(","refreshToken":"rt","scopes":["user:inference","user:profile"])" + extra + "}}";
    }

    std::unique_ptr<ClaudeUsageProvider> provider(QUrl url)
    {
        ClaudeUsageProvider::Options options;
        options.usageURL = std::move(url);
        options.credentialsFile = folder.path() / ".credentials.json";
        options.globalConfigFile = folder.path() / ".claude.json";
        options.claudeVersion = [] { return std::optional<std::string>("9.9.9"); };
        return std::make_unique<ClaudeUsageProvider>(clock, clock, options);
    }

    std::optional<UsageResult<QuotaData>> fetch(ClaudeUsageProvider& source,
                                                const std::function<void()>& whileWaiting = {})
    {
        std::optional<UsageResult<QuotaData>> outcome;
        source.fetch([&](UsageResult<QuotaData> result) { outcome = std::move(result); });
        if (whileWaiting) {
            settle(200ms);
            whileWaiting();
        }
        waitUntil([&] { return outcome.has_value(); });
        return outcome;
    }

    ManualScheduler clock;
    TemporaryFolder folder;
    ScriptedServer server;
};

TEST_F(ClaudeUsageProviderTest, EachReplyBecomesItsOutcome)
{
    using Outcome = std::variant<std::size_t, UsageError>; // a window count, or the error
    const auto date = "Fri, 15 Jan 2027 08:05:00 GMT";     // 300 s after the test's now
    const std::pair<std::string, Outcome> cases[] = {
        {response(200, R"({"limits":[{"kind":"session","percent":12.5},{"kind":"weekly_all","percent":3}]})"),
         std::size_t{2}},
        {response(200, R"({"five_hour":{"utilization":40,"resets_at":"2027-01-15T12:00:00Z"}})"),
         std::size_t{1}},
        {response(200, "{}"), std::size_t{0}},
        {response(200, ""), UsageError::transport()},
        {response(200, "<html>garbage"), UsageError::transport()},
        {"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", UsageError::http(204)},
        {response(401, "{}"), UsageError::loginExpired()},
        {response(403, "{}"), UsageError::loginExpired()},
        {response(429, "", "Retry-After: 120\r\n"), UsageError::rateLimited(120.0)},
        {response(429, "", "Retry-After: 1.5\r\n"), UsageError::rateLimited(1.5)},
        {response(429, "", "Retry-After: 0\r\n"), UsageError::rateLimited(1.0)},
        {response(429, "", "Retry-After: 86400\r\n"), UsageError::rateLimited(3600.0)},
        {response(429, "", std::string("Retry-After: ") + date + "\r\n"), UsageError::rateLimited(300.0)},
        {response(429, "", "Retry-After: inf\r\n"), UsageError::rateLimited(std::nullopt)},
        {response(429, "", "Retry-After: -5\r\n"), UsageError::rateLimited(std::nullopt)},
        {response(429, ""), UsageError::rateLimited(std::nullopt)},
        {response(500, "oops"), UsageError::http(500)},
        {"reset", UsageError::transport()},
    };
    writeCredentials(credentials());
    for (const auto& [reply, expected] : cases) {
        server.reply = reply;
        auto source = provider(server.url());
        const auto outcome = fetch(*source);
        ASSERT_TRUE(outcome) << reply;
        if (const auto* count = std::get_if<std::size_t>(&expected)) {
            ASSERT_TRUE(std::holds_alternative<QuotaData>(*outcome)) << reply;
            EXPECT_EQ(std::get<QuotaData>(*outcome).windows.size(), *count) << reply;
            EXPECT_EQ(std::get<QuotaData>(*outcome).fetchedAt, clock.now());
        } else {
            ASSERT_TRUE(std::holds_alternative<UsageError>(*outcome)) << reply;
            EXPECT_EQ(std::get<UsageError>(*outcome), std::get<UsageError>(expected)) << reply;
        }
    }
}

TEST_F(ClaudeUsageProviderTest, SendsExactlyItsHeadersAndNeverLogsTheToken)
{
    writeCredentials(credentials());
    std::ofstream(folder.path() / ".claude.json") << R"({"oauthAccount":{"subscriptionType":"max"}})";
    server.reply = response(401, "{}");
    CapturedStderr log(folder.path() / "stderr.txt");
    auto source = provider(server.url());
    fetch(*source);
    server.reply = response(200, R"({"limits":[{"kind":"session","percent":1}]})");
    const auto outcome = fetch(*source);
    const std::string logged = log.text();

    ASSERT_EQ(server.requests.size(), 2u) << "a refused token is reported, never refreshed";
    const std::string& request = server.requests.front();
    EXPECT_TRUE(request.starts_with("GET /api/oauth/usage HTTP/1.1\r\n")) << request;
    for (const std::string& header :
         {"Authorization: Bearer " + kToken, std::string("Accept: application/json"),
          std::string("User-Agent: claude-code/9.9.9"), std::string("anthropic-beta: oauth-2025-04-20")})
        EXPECT_NE(request.find("\r\n" + header + "\r\n"), std::string::npos) << header;
    ASSERT_TRUE(outcome && std::holds_alternative<QuotaData>(*outcome));
    EXPECT_EQ(std::get<QuotaData>(*outcome).planName, "Max");
    EXPECT_EQ(logged.find("sk-secret"), std::string::npos) << logged;
}

TEST_F(ClaudeUsageProviderTest, CredentialsAreCheckedBeforeAnythingIsSent)
{
    const std::pair<std::optional<std::string>, UsageError> cases[] = {
        {std::nullopt, UsageError::notAuthenticated()},
        {"{}", UsageError::notAuthenticated()},
        {R"({"claudeAiOauth":null})", UsageError::notAuthenticated()},
        {R"({"accessToken":"t"})", UsageError::missingProfileScope()},
        {R"({"accessToken":"t","scopes":["user:inference","User:Profile"]})",
         UsageError::missingProfileScope()},
        {R"({"accessToken":"t","scopes":["user:profile"],"expiresAt":1700000000000})",
         UsageError::loginExpired()},
        {"[1]", UsageError::notAuthenticated()},
        {R"({"accessToken":5,"scopes":["user:profile"]})", UsageError::notAuthenticated()},
    };
    for (const auto& [file, expected] : cases) {
        std::filesystem::remove(folder.path() / ".credentials.json");
        if (file)
            writeCredentials(*file);
        auto source = provider(server.url());
        const auto outcome = fetch(*source, [&] { clock.advance(1s); });
        ASSERT_TRUE(outcome && std::holds_alternative<UsageError>(*outcome)) << file.value_or("none");
        EXPECT_EQ(std::get<UsageError>(*outcome), expected) << file.value_or("none");
    }
    EXPECT_TRUE(server.requests.empty());
}

TEST_F(ClaudeUsageProviderTest, AFileCaughtMidRewriteIsReadAgainOnce)
{
    writeCredentials(R"({"claudeAiOauth":{"accessTo)");
    server.reply = response(200, "{}");
    auto source = provider(server.url());
    const auto outcome = fetch(*source, [&] {
        writeCredentials(credentials());
        clock.advance(250ms);
    });
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(std::holds_alternative<QuotaData>(*outcome));
}

TEST_F(ClaudeUsageProviderTest, AStalledReplyTimesOut)
{
    writeCredentials(credentials());
    server.reply = "stall";
    auto source = provider(server.url());
    const auto outcome = fetch(*source, [&] {
        ASSERT_TRUE(waitUntil([&] { return !server.requests.empty(); }));
        clock.advance(15s);
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(std::get<UsageError>(*outcome), UsageError::transport());
}

TEST_F(ClaudeUsageProviderTest, ARedirectElsewhereIsNotFollowed)
{
    writeCredentials(credentials());
    ScriptedServer elsewhere;
    elsewhere.reply = response(200, "{}");
    server.reply = response(302, "", "Location: " + elsewhere.url().toString().toStdString() + "\r\n");
    auto source = provider(server.url());
    const auto outcome = fetch(*source);
    settle(100ms);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(std::get<UsageError>(*outcome), UsageError::http(302));
    EXPECT_TRUE(elsewhere.requests.empty());
}

TEST(ClaudeUsageProviderParsing, RetryAfterTakesSecondsOrAnHttpDate)
{
    const Clock::WallTime now(std::chrono::seconds(1'800'000'000));
    EXPECT_EQ(ClaudeUsageProvider::retryAfter("120", now), 120.0);
    EXPECT_EQ(ClaudeUsageProvider::retryAfter("Fri, 15 Jan 2027 08:05:00 GMT", now), 300.0);
    EXPECT_EQ(ClaudeUsageProvider::retryAfter("Fri, 15 Jan 2027 08:00:00 GMT", now), 1.0);
    for (const char* refused : {"", " 120", "120 ", "1e3", "nan", "inf", "1.", ".5", "1.2.3", "tomorrow"})
        EXPECT_EQ(ClaudeUsageProvider::retryAfter(refused, now), std::nullopt) << refused;
}

} // namespace
} // namespace velquist::test
