#pragma once

#include "Core/AgentCapabilities.h"
#include "Core/AgentInquiry.h"
#include "Core/ContextUsage.h"
#include "Core/StoredForm.h"
#include "Core/ToolDetail.h"
#include "Platform/Clock.h"
#include "Shared/AgentKind.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace velquist {

// A tool call that waits for the user to allow or deny it.
struct PermissionRequest
{
    std::string toolName; // as the agent names it
    std::string summary;  // one line shown in the row
    std::optional<ToolDetail> tool;
    bool supportsAlwaysAllow = false; // the allow menu offers the always-allow grant

    bool operator==(const PermissionRequest&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<PermissionRequest> fromJson(const nlohmann::json& json);
};

// What a session is doing now. Stored as an object with one key, the case name, holding the payload
// ({"working":{}}, {"needsPermission":{"_0":{...}}}, {"idle":{}}).
class SessionStatus
{
  public:
    struct Working
    {
        std::optional<std::string> activity; // "Thinking…", a tool's activity text
        bool operator==(const Working&) const = default;
    };
    struct NeedsPermission
    {
        PermissionRequest request;
        bool operator==(const NeedsPermission&) const = default;
    };
    struct WaitingForInput
    {
        AgentInquiry inquiry;
        bool operator==(const WaitingForInput&) const = default;
    };
    struct Done
    {
        std::optional<std::string> summary;
        bool operator==(const Done&) const = default;
    };
    struct Idle
    {
        bool operator==(const Idle&) const = default;
    };
    struct Ended
    {
        bool operator==(const Ended&) const = default;
    };
    using Value = std::variant<Working, NeedsPermission, WaitingForInput, Done, Idle, Ended>;

    SessionStatus() : m_value(Idle{}) {}
    template <typename Case>
    requires std::is_constructible_v<Value, Case&&> &&
        (!std::is_same_v<std::decay_t<Case>, SessionStatus>)SessionStatus(Case&& value)
        : m_value(std::forward<Case>(value))
    {
    }

    const Value& value() const { return m_value; }
    // The payload when the value is that case, else nullptr. Not on a temporary, which would leave
    // the pointer dangling.
    template <typename Case> const Case* as() const& { return std::get_if<Case>(&m_value); }
    template <typename Case> const Case* as() const&& = delete;
    template <typename Case> bool is() const { return std::holds_alternative<Case>(m_value); }
    // Waits for the user: needs permission or waits for input.
    bool asksForUser() const { return is<NeedsPermission>() || is<WaitingForInput>(); }

    bool operator==(const SessionStatus&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<SessionStatus> fromJson(const nlohmann::json& json);

  private:
    Value m_value;
};

// Where the agent's terminal is.
struct TerminalBinding
{
    std::optional<std::string> tty;         // controlling terminal device
    std::optional<std::int64_t> ownerPID;   // the process that owns it
    std::optional<std::string> appName;     // the terminal application's name
    std::optional<std::string> bundleID;    // its application identifier
    std::map<std::string, std::string> env; // terminal variables relayed by the hook client

    bool operator==(const TerminalBinding&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<TerminalBinding> fromJson(const nlohmann::json& json);
};

// A subagent running inside a session.
struct SubagentRun
{
    std::string id;
    std::string name;
    std::optional<std::string> activity;
    Clock::WallTime startedAt;

    bool operator==(const SubagentRun&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<SubagentRun> fromJson(const nlohmann::json& json);
};

// One agent session. Keyed by `id`: the engine's id namespace, ":" and the agent's own session id
// (or "detected:<tty>", "mock-…", "intro-…", "debug-…"). Dates are stored to the microsecond.
struct Session
{
    std::string id;
    AgentKind agent = AgentKind::claudeCode;
    std::string cwd;
    SessionStatus status;
    std::optional<std::string> lastActivity; // latest one-line note, apart from the status
    Clock::WallTime startedAt;
    Clock::WallTime updatedAt;
    TerminalBinding terminal;
    std::optional<std::string> transcriptPath;
    std::optional<std::string> permissionMode;
    bool autoApprovePermissions = false; // the user granted the session scope
    std::optional<Clock::WallTime> attentionSince;
    std::optional<ContextUsage> context;
    std::optional<std::string> detectedName;
    std::optional<std::string> aiTitle;
    std::vector<SubagentRun> runningSubagents;
    std::int64_t subagentsDone = 0;
    std::optional<std::string> firstPrompt;
    std::optional<Clock::WallTime> doneSeenAt;

    bool operator==(const Session&) const = default;

    AgentCapabilities capabilities() const { return AgentCapabilities::of(agent); }

    // Bounds of the free texts a session keeps, in characters: no view shows more, and an agent
    // that sends megabytes must not make every save and restore that large.
    static constexpr std::size_t kLongTextCharacters = 4096;
    static constexpr std::size_t kShortTextCharacters = 1024;
    // Subagents a session keeps running at once; the oldest go first.
    static constexpr std::size_t kMaxRunningSubagents = 256;
    // Cuts every free text to its bound (prompt, titles, activity and summary texts).
    void boundFreeText();

    // Stored form: field names as keys in declaration order, absent optionals left out. Decoding
    // reports the first problem (missing key, wrong type, unknown agent or status case) and never
    // throws, so the caller can skip one bad record.
    nlohmann::ordered_json toJson() const;
    static Decoded<Session> fromJson(const nlohmann::json& json);
};

} // namespace velquist
