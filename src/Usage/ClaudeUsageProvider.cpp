#include "Usage/ClaudeUsageProvider.h"

#include "Platform/Clock.h"
#include "Platform/WorkerTask.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/Log.h"
#include "Usage/ClaudeUsageResponse.h"
#include "Usage/UsageText.h"

#include <QHostAddress>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimeZone>
#include <algorithm>
#include <memory>

namespace velquist {

namespace {

constexpr std::size_t kCredentialsLimit = 1 << 20;
// Claude Code's global configuration holds its project history and grows large.
constexpr std::size_t kGlobalConfigLimit = 64 << 20;
constexpr const char* kFallbackVersion = "2.0.0";

// Thrown inside decoding when a present field has the wrong type.
struct Mismatch
{
};

template <typename Value> std::optional<Value> field(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return std::nullopt;
    if constexpr (std::is_same_v<Value, std::string>) {
        if (!found->is_string())
            throw Mismatch{};
    } else if constexpr (std::is_same_v<Value, std::int64_t>) {
        if (!found->is_number_integer())
            throw Mismatch{};
    } else {
        if (!found->is_array() ||
            !std::all_of(found->begin(), found->end(), [](const auto& e) { return e.is_string(); }))
            throw Mismatch{};
    }
    return found->get<Value>();
}

std::optional<ClaudeUsageProvider::OAuth> oauthFrom(const nlohmann::json& object)
{
    if (!object.is_object())
        return std::nullopt;
    try {
        return ClaudeUsageProvider::OAuth{
            field<std::string>(object, "accessToken"), field<std::string>(object, "refreshToken"),
            field<std::int64_t>(object, "expiresAt"), field<std::vector<std::string>>(object, "scopes"),
            field<std::string>(object, "subscriptionType")};
    } catch (const Mismatch&) {
        return std::nullopt;
    }
}

} // namespace

// What a fetch learns from this machine before it asks the endpoint; read on a worker.
struct ClaudeUsageProvider::Local
{
    // The credentials file exists and was read, but did not decode: perhaps caught mid-rewrite.
    bool undecodable = false;
    std::optional<OAuth> oauth;
    std::string version = kFallbackVersion;
    std::optional<std::string> plan;
};

ClaudeUsageProvider::ClaudeUsageProvider(Clock& clock, Scheduler& scheduler, Options options, QObject* parent)
    : QObject(parent), m_clock(clock), m_scheduler(scheduler), m_options(std::move(options)),
      m_network(new QNetworkAccessManager(this))
{
    // The endpoint never redirects; a redirect must not carry the token anywhere else.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

ClaudeUsageProvider::~ClaudeUsageProvider() = default;

std::optional<ClaudeUsageProvider::OAuth> ClaudeUsageProvider::decodeOAuth(std::string_view bytes)
{
    const auto parsed = Json::parse(bytes);
    if (!parsed || !parsed->is_object())
        return std::nullopt;
    if (const auto envelope = parsed->find("claudeAiOauth");
        envelope != parsed->end() && !envelope->is_null()) {
        if (auto inner = oauthFrom(*envelope))
            return inner;
    }
    return oauthFrom(*parsed);
}

std::optional<std::string> ClaudeUsageProvider::planName(std::string_view globalConfig)
{
    const auto parsed = Json::parse(globalConfig);
    if (!parsed || !parsed->is_object())
        return std::nullopt;
    for (auto account = parsed->begin(); account != parsed->end(); ++account) {
        if (UsageText::camelCaseKey(account.key()) != "oauthAccount" || !account->is_object())
            continue;
        for (auto entry = account->begin(); entry != account->end(); ++entry) {
            if (UsageText::camelCaseKey(entry.key()) == "subscriptionType" && entry->is_string())
                return UsageText::capitalizedWords(entry->get<std::string>());
        }
    }
    return std::nullopt;
}

std::optional<double> ClaudeUsageProvider::retryAfter(std::string_view value,
                                                      std::chrono::system_clock::time_point now)
{
    constexpr double kMinimum = 1;
    constexpr double kMaximum = 3600;
    if (value.empty())
        return std::nullopt;
    const bool plainNumber =
        std::all_of(value.begin(), value.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
        std::count(value.begin(), value.end(), '.') <= 1 && value.front() != '.' && value.back() != '.';
    if (plainNumber)
        return std::clamp(std::stod(std::string(value)), kMinimum, kMaximum);
    // The one date form HTTP sends: "Wed, 21 Oct 2026 07:28:00 GMT".
    QDateTime date =
        QLocale::c().toDateTime(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())),
                                QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!date.isValid())
        return std::nullopt;
    date.setTimeZone(QTimeZone::utc());
    const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const double seconds = static_cast<double>(date.toMSecsSinceEpoch() - nowMs) / 1000.0;
    return std::clamp(seconds, kMinimum, kMaximum);
}

std::optional<QUrl> ClaudeUsageProvider::usageURLOverride(std::string_view value)
{
    const QUrl url(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())), QUrl::StrictMode);
    if (value.empty() || !url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return std::nullopt;
    if (url.scheme() == QLatin1String("https"))
        return url;
    const QHostAddress host(url.host());
    if (url.scheme() == QLatin1String("http") &&
        (host.isLoopback() || url.host() == QLatin1String("localhost")))
        return url;
    return std::nullopt;
}

void ClaudeUsageProvider::fetch(Completion done)
{
    readLocal(std::move(done), false);
}

void ClaudeUsageProvider::readLocal(Completion done, bool isRetry)
{
    runOnWorker<Local>(
        this,
        [options = m_options] {
            Local local;
            const FileRead credentials = FileUtil::read(options.credentialsFile, kCredentialsLimit);
            if (credentials.ok()) {
                local.oauth = decodeOAuth(credentials.bytes);
                local.undecodable = !local.oauth;
            }
            if (options.claudeVersion) {
                if (const auto version = options.claudeVersion())
                    local.version = *version;
            }
            const FileRead config = FileUtil::read(options.globalConfigFile, kGlobalConfigLimit);
            if (config.ok())
                local.plan = planName(config.bytes);
            return local;
        },
        [this, done = std::move(done), isRetry](Local local) mutable {
            if (local.undecodable && !isRetry) {
                m_reread = ScheduledTimer(
                    m_scheduler, m_scheduler.schedule(m_options.rereadDelay, [this, done = std::move(done)] {
                        readLocal(done, true);
                    }));
                return;
            }
            const OAuth* oauth = local.oauth ? &*local.oauth : nullptr;
            if (!oauth || !oauth->accessToken)
                return done(UsageError::notAuthenticated());
            const auto& scopes = oauth->scopes;
            if (!scopes || std::find(scopes->begin(), scopes->end(), kProfileScope) == scopes->end())
                return done(UsageError::missingProfileScope());
            const auto nowMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_clock.now().time_since_epoch())
                    .count();
            if (oauth->expiresAt && *oauth->expiresAt <= nowMs) {
                // Claude Code refreshes its own token when it next runs; the next fetch reads it.
                Log::debug("usage", "access token expired");
                return done(UsageError::loginExpired());
            }
            send(local, std::move(done));
        },
        m_options.workers);
}

void ClaudeUsageProvider::send(const Local& local, Completion done)
{
    QNetworkRequest request(m_options.usageURL);
    request.setRawHeader("Authorization",
                         QByteArray("Bearer ") + QByteArray::fromStdString(*local.oauth->accessToken));
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("User-Agent", QByteArray("claude-code/") + QByteArray::fromStdString(local.version));
    request.setRawHeader("anthropic-beta", "oauth-2025-04-20");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (!m_options.extraTrustedCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_options.extraTrustedCertificates);
        request.setSslConfiguration(tls);
    }
    QNetworkReply* reply = m_network->get(request);

    QPointer<QNetworkReply> guard(reply);
    auto timeout =
        std::make_shared<ScheduledTimer>(m_scheduler, m_scheduler.schedule(m_options.requestTimeout, [guard] {
            if (guard)
                guard->abort();
        }));
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kBodyLimit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, timeout, plan = local.plan, done = std::move(done)]() mutable {
                timeout->cancel();
                reply->deleteLater();
                finish(reply, plan, std::move(done));
            });
}

void ClaudeUsageProvider::finish(QNetworkReply* reply, const std::optional<std::string>& plan,
                                 Completion done)
{
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool failed = reply->error() != QNetworkReply::NoError;
    if (!statusValue.isValid()) {
        Log::debug("usage", "usage request failed: " + reply->errorString().toStdString());
        return done(UsageError::transport());
    }
    const int status = statusValue.toInt();
    if (status == 429) {
        const QByteArray header = reply->rawHeader("Retry-After");
        return done(UsageError::rateLimited(retryAfter(header.toStdString(), m_clock.now())));
    }
    // The token was refused: Claude Code has to sign in or refresh it; we never spend its refresh token.
    if (status == 401 || status == 403)
        return done(UsageError::loginExpired());
    if (status != 200)
        return done(UsageError::http(status));
    // Cut short (time-out, too large) after the status arrived.
    if (failed)
        return done(UsageError::transport());
    std::string body = reply->read(kBodyLimit + 1).toStdString();
    if (static_cast<qint64>(body.size()) > kBodyLimit)
        return done(UsageError::transport());
    runOnWorker<std::optional<ClaudeUsageResponse>>(
        this, [body = std::move(body)] { return ClaudeUsageResponse::decode(body); },
        [this, plan, done = std::move(done)](std::optional<ClaudeUsageResponse> response) {
            if (!response) {
                Log::debug("usage", "usage reply did not decode");
                return done(UsageError::transport());
            }
            QuotaData data;
            data.windows = response->windowsFromLimits();
            if (data.windows.empty())
                data.windows = response->windowsFromLegacyFields();
            data.planName = plan;
            data.fetchedAt = m_clock.now();
            done(std::move(data));
        },
        m_options.workers);
}

} // namespace velquist
