#include "Usage/CodexUsageProvider.h"

#include "Core/CommandLookup.h"
#include "Platform/Clock.h"
#include "Platform/ProcessRunner.h"
#include "Platform/WorkerTask.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/Log.h"
#include "Usage/UsageText.h"

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

namespace velquist {

namespace {

using JsonValue = nlohmann::json;
using SteadyClock = std::chrono::steady_clock;

// Thrown inside decoding when a present member has the wrong type.
struct Mismatch
{
};

// A member that is absent or null counts as absent.
const JsonValue* member(const JsonValue& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

const JsonValue& asObject(const JsonValue* value)
{
    if (!value->is_object())
        throw Mismatch{};
    return *value;
}

std::optional<CodexUsageProvider::RateLimits::Window> window(const JsonValue& limits, const char* key)
{
    const JsonValue* value = member(limits, key);
    if (!value)
        return std::nullopt;
    const JsonValue& in = asObject(value);
    CodexUsageProvider::RateLimits::Window result;
    if (const JsonValue* used = member(in, "usedPercent")) {
        if (!used->is_number())
            throw Mismatch{};
        result.usedPercent = used->get<double>();
    }
    if (const JsonValue* resets = member(in, "resetsAt")) {
        if (!resets->is_number_integer())
            throw Mismatch{};
        result.resetsAt = resets->get<std::int64_t>();
    }
    return result;
}

CodexUsageProvider::RateLimits rateLimits(const JsonValue& value)
{
    const JsonValue& in = asObject(&value);
    CodexUsageProvider::RateLimits limits{window(in, "primary"), window(in, "secondary"), std::nullopt};
    if (const JsonValue* plan = member(in, "planType")) {
        if (!plan->is_string())
            throw Mismatch{};
        limits.planType = plan->get<std::string>();
    }
    return limits;
}

// One JSON-RPC message as far as we read it.
struct Envelope
{
    std::optional<std::int64_t> id;
    bool hasResult = false;
    std::optional<CodexUsageProvider::RateLimits> limits;
    std::optional<std::vector<std::pair<std::string, CodexUsageProvider::RateLimits>>> limitsById;
};

std::optional<Envelope> decodeEnvelope(const JsonValue& message)
{
    if (!message.is_object())
        return std::nullopt;
    try {
        Envelope envelope;
        if (const JsonValue* id = member(message, "id")) {
            if (!id->is_number_integer())
                throw Mismatch{};
            envelope.id = id->get<std::int64_t>();
        }
        if (const JsonValue* result = member(message, "result")) {
            const JsonValue& in = asObject(result);
            envelope.hasResult = true;
            if (const JsonValue* limits = member(in, "rateLimits"))
                envelope.limits = rateLimits(*limits);
            if (const JsonValue* byId = member(in, "rateLimitsByLimitId")) {
                envelope.limitsById.emplace();
                for (auto it = asObject(byId).begin(); it != byId->end(); ++it)
                    envelope.limitsById->emplace_back(it.key(), rateLimits(it.value()));
            }
        }
        return envelope;
    } catch (const Mismatch&) {
        return std::nullopt;
    }
}

std::optional<CodexUsageProvider::RateLimits> pick(const Envelope& envelope)
{
    if (!envelope.hasResult)
        return std::nullopt;
    if (envelope.limitsById) {
        for (const auto& [id, limits] : *envelope.limitsById) {
            if (id == "codex")
                return limits;
        }
        if (envelope.limitsById->empty())
            return std::nullopt;
        return envelope.limitsById->front().second;
    }
    return envelope.limits;
}

// Reads the child's output line by line until the line with the awaited id.
class ReplyReader
{
  public:
    ReplyReader(RunningProcess& child, std::size_t lineLimit) : m_child(child), m_lineLimit(lineLimit) {}

    std::optional<JsonValue> await(std::int64_t id, SteadyClock::time_point deadline)
    {
        // Bytes after the awaited line belong to no request of ours.
        std::string buffer;
        bool discarding = false;
        std::size_t scanned = 0;
        for (;;) {
            if (m_child.read(buffer, deadline) != RunningProcess::ReadStatus::data)
                return std::nullopt;
            for (;;) {
                const auto end = buffer.find('\n', scanned);
                if (end == std::string::npos)
                    break;
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                scanned = 0;
                if (std::exchange(discarding, false) || line.empty())
                    continue;
                if (auto message = Json::parse(line)) {
                    const auto envelope = decodeEnvelope(*message);
                    if (envelope && envelope->id == id)
                        return message;
                }
            }
            scanned = buffer.size();
            if (buffer.size() > m_lineLimit) {
                Log::debug("usage", "codex wrote an over-long line; dropped");
                buffer.clear();
                scanned = 0;
                discarding = true;
            }
        }
    }

  private:
    RunningProcess& m_child;
    const std::size_t m_lineLimit;
};

bool send(RunningProcess& child, std::int64_t id, const char* method, const JsonValue* params)
{
    JsonValue message{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
    if (params)
        message["params"] = *params;
    return child.write(Json::dump(message) + "\n");
}

} // namespace

CodexUsageProvider::CodexUsageProvider(Clock& clock, ProcessRunner& runner, CommandLookup& lookup,
                                       Options options, QObject* parent)
    : QObject(parent), m_clock(clock), m_runner(runner), m_lookup(lookup), m_options(options)
{
}

std::optional<std::string> CodexUsageProvider::binaryPath()
{
    const auto path = m_lookup.find("codex");
    if (!path)
        return std::nullopt;
    if (!FileUtil::isExecutableFile(*path)) {
        // Removed since it was found: search again next time.
        m_lookup.forget("codex");
        return std::nullopt;
    }
    return path;
}

UsageResult<CodexUsageProvider::RateLimits> CodexUsageProvider::readRateLimits(const std::string& codex)
{
    const std::string folder = std::filesystem::path(codex).parent_path().string();
    const char* inherited = std::getenv("PATH");
    const EnvironmentOverrides environment{
        {"TERM", "dumb"}, {"PATH", inherited && *inherited ? folder + ":" + inherited : folder}};
    auto child =
        m_runner.start(ProcessRequest{codex, {"app-server"}, m_options.replyTimeout, 0}, environment);
    if (!child)
        return UsageError::transport();

    UsageResult<RateLimits> outcome = UsageError::transport();
    ReplyReader reader(*child, m_options.lineLimit);
    const JsonValue initialize{{"clientInfo", {{"name", "Velquist"}, {"version", "1.0"}}},
                               {"capabilities", nullptr}};
    if (send(*child, 1, "initialize", &initialize) &&
        reader.await(1, SteadyClock::now() + m_options.replyTimeout) &&
        send(*child, 2, "account/rateLimits/read", nullptr)) {
        if (const auto reply = reader.await(2, SteadyClock::now() + m_options.replyTimeout)) {
            if (auto limits = limitsFromReply(*reply))
                outcome = std::move(*limits);
        }
    }
    child->end(m_options.exitGrace);
    return outcome;
}

std::optional<CodexUsageProvider::RateLimits> CodexUsageProvider::limitsFromReply(const nlohmann::json& reply)
{
    const auto envelope = decodeEnvelope(reply);
    return envelope ? pick(*envelope) : std::nullopt;
}

QuotaData CodexUsageProvider::quota(const RateLimits& limits, std::chrono::system_clock::time_point now)
{
    QuotaData data;
    const auto add = [&data](const std::optional<RateLimits::Window>& window, const char* id,
                             const char* name) {
        if (!window)
            return;
        std::optional<Clock::WallTime> resets;
        if (window->resetsAt)
            resets = Clock::WallTime(std::chrono::seconds(*window->resetsAt));
        data.windows.push_back({id, name, window->usedPercent.value_or(0), resets});
    };
    add(limits.primary, "session", "Session");
    add(limits.secondary, "weekly", "Weekly");
    if (limits.planType)
        data.planName = UsageText::capitalizedWords(*limits.planType);
    data.fetchedAt = now;
    return data;
}

void CodexUsageProvider::fetch(Completion done)
{
    runOnWorker<UsageResult<RateLimits>>(
        this,
        [this]() -> UsageResult<RateLimits> {
            const auto path = binaryPath();
            if (!path)
                return UsageError::notAuthenticated();
            return readRateLimits(*path);
        },
        [this, done = std::move(done)](UsageResult<RateLimits> outcome) {
            if (const auto* error = std::get_if<UsageError>(&outcome))
                return done(*error);
            done(quota(std::get<RateLimits>(outcome), m_clock.now()));
        },
        m_options.workers);
}

} // namespace velquist
