#pragma once

#include "Core/AgentInquiry.h"
#include "Core/ToolDetail.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace velquist {

// The two event streams an OpenCode server publishes. Sessions made in OpenCode's own terminal
// interface appear only on the original one; sessions made through "/api" only on the other, and
// each request is answered on the API it was asked on.
enum class OpenCodeApi {
    original, // events at "/event", replies at "/permission/<id>/reply" and "/question/<id>/reply"
    v2,       // events at "/api/event", replies under "/api/session/<session>/"
};

// One parsed OpenCode event: the OpenCode adapter's only input from a stream. Session ids are
// OpenCode's own, without our namespace.
struct OpenCodeUpdate
{
    struct Upsert
    {
        std::string sessionID;
        std::optional<std::string> cwd;
        std::optional<std::string> title;
        bool operator==(const Upsert&) const = default;
    };
    struct Idle
    {
        std::string sessionID;
        bool operator==(const Idle&) const = default;
    };
    // The session started a turn ("session.status" busy).
    struct Busy
    {
        std::string sessionID;
        bool operator==(const Busy&) const = default;
    };
    struct Removed
    {
        std::string sessionID;
        bool operator==(const Removed&) const = default;
    };
    struct ToolActivity
    {
        std::string sessionID;
        std::string activity;
        std::optional<ToolDetail> tool;
        std::optional<std::string> callID;
        bool operator==(const ToolActivity&) const = default;
    };
    struct AssistantText
    {
        std::string sessionID;
        std::string text;
        bool operator==(const AssistantText&) const = default;
    };
    struct Context
    {
        std::string sessionID;
        std::int64_t tokens = 0;
        std::optional<std::string> model;
        bool operator==(const Context&) const = default;
    };
    struct PermissionAsked
    {
        std::string sessionID;
        std::string requestID;
        std::string title;
        std::optional<std::string> callID;
        bool operator==(const PermissionAsked&) const = default;
    };
    struct QuestionAsked
    {
        std::string sessionID;
        std::string requestID;
        AgentInquiry inquiry;
        bool operator==(const QuestionAsked&) const = default;
    };
    // A request was answered or withdrawn, here or in OpenCode itself. The request id, when the
    // event names one, keeps a late notice about an older request from releasing a newer one.
    struct Resolved
    {
        std::string sessionID;
        std::optional<std::string> requestID;
        bool operator==(const Resolved&) const = default;
    };
    using Value = std::variant<Upsert, Idle, Busy, Removed, ToolActivity, AssistantText, Context,
                               PermissionAsked, QuestionAsked, Resolved>;

    Value value;

    template <typename Case> const Case* as() const& { return std::get_if<Case>(&value); }
    template <typename Case> const Case* as() const&& = delete;
    // OpenCode's id of the session the update is about.
    const std::string& sessionID() const
    {
        return std::visit([](const auto& update) -> const std::string& { return update.sessionID; }, value);
    }

    bool operator==(const OpenCodeUpdate&) const = default;
};

} // namespace velquist
