#pragma once

#include "Usage/UsageSource.h"

#include <QObject>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

class QThreadPool;

namespace velquist {

class Clock;
class CommandLookup;
class ProcessRunner;

// Reads the Codex account's rate-limit windows by asking the user's own `codex` tool: it starts
// `codex app-server` for the one exchange, speaks line-delimited JSON-RPC with it, and ends its
// whole process group afterwards. Nothing here talks to the network.
class CodexUsageProvider final : public QObject, public UsageSource
{
    Q_OBJECT
  public:
    struct RateLimits
    {
        struct Window
        {
            std::optional<double> usedPercent;    // 0 to 100
            std::optional<std::int64_t> resetsAt; // seconds since 1970
        };
        std::optional<Window> primary;
        std::optional<Window> secondary;
        std::optional<std::string> planType;
    };

    struct Options
    {
        // How long each reply may take.
        std::chrono::milliseconds replyTimeout{10'000};
        // A longer line is dropped unread, so a runaway child cannot fill our memory.
        std::size_t lineLimit = 4 << 20;
        // How long the child has to leave after SIGTERM before SIGKILL.
        std::chrono::milliseconds exitGrace{2'000};
        // Where the child is run; none is Qt's global pool.
        QThreadPool* workers = nullptr;
    };

    CodexUsageProvider(Clock& clock, ProcessRunner& runner, CommandLookup& lookup, Options options,
                       QObject* parent = nullptr);

    void fetch(Completion done) override;

    // The user's `codex` executable; none when the login shell finds none that can run. Blocking.
    std::optional<std::string> binaryPath();
    // The exchange with `codex app-server` at `codex`. Blocking.
    UsageResult<RateLimits> readRateLimits(const std::string& codex);
    // The windows of a reading: "session" from the primary window, "weekly" from the secondary.
    static QuotaData quota(const RateLimits& limits, std::chrono::system_clock::time_point now);
    // The limits a reply to the read request carries: the "codex" entry of the per-limit map (else
    // its first), else the plain ones; none when it has no result or no usable limits.
    static std::optional<RateLimits> limitsFromReply(const nlohmann::json& reply);

  private:
    Clock& m_clock;
    ProcessRunner& m_runner;
    CommandLookup& m_lookup;
    const Options m_options;
};

} // namespace velquist
