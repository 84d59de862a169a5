#pragma once

#include "Core/Scheduler.h"
#include "Usage/UsageSource.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QThreadPool;

namespace velquist {

class Clock;

// Reads the Claude account's usage windows with the credentials Claude Code keeps on this
// machine. It never refreshes the token itself: the refresh token is Claude Code's to spend, so
// an expired or refused token is reported as an expired login, and the next fetch reads the
// credentials afresh. Nothing is kept between fetches and nothing of Claude Code's is written.
class ClaudeUsageProvider final : public QObject, public UsageSource
{
    Q_OBJECT
  public:
    // Claude Code's credentials, as stored. Every field optional.
    struct OAuth
    {
        std::optional<std::string> accessToken;
        std::optional<std::string> refreshToken;
        std::optional<std::int64_t> expiresAt; // milliseconds since 1970
        std::optional<std::vector<std::string>> scopes;
        std::optional<std::string> subscriptionType;
    };

    struct Options
    {
        QUrl usageURL = QUrl(QStringLiteral("https://api.anthropic.com/api/oauth/usage"));
        // "~/.claude/.credentials.json" and "~/.claude.json".
        std::filesystem::path credentialsFile;
        std::filesystem::path globalConfigFile;
        // The installed Claude Code's version for the User-Agent; blocking, run on a worker.
        std::function<std::optional<std::string>()> claudeVersion;
        std::chrono::milliseconds requestTimeout{15'000};
        // A credentials file caught while Claude Code rewrites it is read again once after this.
        std::chrono::milliseconds rereadDelay{250};
        // Where the files are read and the reply decoded; none is Qt's global pool.
        QThreadPool* workers = nullptr;
        // Certificates this provider's requests trust besides the system's: a test's own server.
        QList<QSslCertificate> extraTrustedCertificates;
    };

    // The environment variable that points the usage endpoint elsewhere, for a developer's or a
    // test's local server. Read by `main` only (an environment is the user's; no file an agent
    // could write moves the token anywhere).
    static constexpr const char* kUsageURLVariable = "VELQUIST_CLAUDE_USAGE_URL";
    // The endpoint a value of that variable names: an https URL, or plain http to this computer's
    // loopback address only, since the request carries the login's token. None for anything else.
    static std::optional<QUrl> usageURLOverride(std::string_view value);

    // The scope reading usage needs.
    static constexpr const char* kProfileScope = "user:profile";
    // Replies larger than this are no usage reply.
    static constexpr qint64 kBodyLimit = 1 << 20;

    ClaudeUsageProvider(Clock& clock, Scheduler& scheduler, Options options, QObject* parent = nullptr);
    ~ClaudeUsageProvider() override;

    void fetch(Completion done) override;

    // The credentials in Claude Code's envelope ({"claudeAiOauth": {...}}) or a bare object; none
    // for bytes that are no JSON object or hold a field of the wrong type.
    static std::optional<OAuth> decodeOAuth(std::string_view bytes);
    // The plan from Claude Code's global configuration ("max" gives "Max"); none when absent.
    static std::optional<std::string> planName(std::string_view globalConfig);
    // A Retry-After value: whole or decimal seconds, or an HTTP date, clamped to 1 s to 1 h; none
    // for anything else.
    static std::optional<double> retryAfter(std::string_view value,
                                            std::chrono::system_clock::time_point now);

  private:
    struct Local;
    void readLocal(Completion done, bool isRetry);
    void send(const Local& local, Completion done);
    void finish(QNetworkReply* reply, const std::optional<std::string>& plan, Completion done);

    Clock& m_clock;
    Scheduler& m_scheduler;
    const Options m_options;
    QNetworkAccessManager* m_network;
    ScheduledTimer m_reread;
};

} // namespace velquist
