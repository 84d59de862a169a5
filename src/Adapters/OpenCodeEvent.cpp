#include "Adapters/OpenCodeEvent.h"

#include "Core/ToolText.h"
#include "Ingestion/ToolActivity.h"
#include "Shared/Json.h"

#include <cmath>
#include <limits>

namespace velquist::OpenCodeEvent {

namespace {

using nlohmann::json;

constexpr std::string_view kDefaultPermissionTitle = "Needs your permission";
const json* object(const json& parent, std::string_view key)
{
    const json* found = Json::member(parent, key);
    return found && found->is_object() ? found : nullptr;
}

std::optional<std::string> nestedString(const json& parent, std::string_view outer, std::string_view key)
{
    const json* inner = object(parent, outer);
    return inner ? Json::string(*inner, key) : std::nullopt;
}

// Whole numbers as they are, fractions truncated toward zero; out of range, not finite or not a
// number gives 0 (negatives count as 0 too: a token count is never below it).
std::int64_t intValue(const json* value)
{
    if (!value || !value->is_number())
        return 0;
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        return number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? std::numeric_limits<std::int64_t>::max()
                   : static_cast<std::int64_t>(number);
    }
    if (value->is_number_integer())
        return std::max<std::int64_t>(0, value->get<std::int64_t>());
    const double number = std::trunc(value->get<double>());
    if (!std::isfinite(number) || number <= 0)
        return 0;
    if (number >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(number);
}

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b)
{
    return a > std::numeric_limits<std::int64_t>::max() - b ? std::numeric_limits<std::int64_t>::max()
                                                            : a + b;
}

// The questions of a question event: an array of objects (one element of another kind rejects it);
// entries without a string "question" are skipped. None when no question is left.
std::optional<AgentInquiry> inquiry(const json* questions)
{
    if (!questions || !questions->is_array())
        return std::nullopt;
    for (const auto& element : *questions) {
        if (!element.is_object())
            return std::nullopt;
    }
    std::vector<AgentQuestion> parsed;
    for (const auto& element : *questions) {
        auto question = AgentQuestion::parseOne(element);
        if (!question)
            continue;
        question->multiSelect = Json::boolean(element, "multiple").value_or(false);
        parsed.push_back(std::move(*question));
    }
    return AgentInquiry::fromQuestions(std::move(parsed));
}

std::optional<std::string> modelText(const json& info)
{
    const auto provider = Json::string(info, "providerID");
    const auto model = Json::string(info, "modelID");
    if (provider)
        return *provider + "/" + model.value_or("");
    return model;
}

std::optional<OpenCodeUpdate> sessionInfo(const json& data)
{
    const json* info = object(data, "info");
    if (!info)
        return std::nullopt;
    auto id = Json::string(*info, "id");
    if (!id)
        return std::nullopt;
    auto title = Json::string(*info, "title");
    auto cwd = Json::string(*info, "directory");
    if (!cwd)
        cwd = nestedString(*info, "location", "directory");
    return OpenCodeUpdate{OpenCodeUpdate::Upsert{
        std::move(*id), cwd ? std::optional(ToolDetail::cutPath(std::move(*cwd))) : std::nullopt,
        title ? std::optional(ToolDetail::cutPath(std::move(*title))) : std::nullopt}};
}

std::optional<OpenCodeUpdate> messagePart(std::string sessionID, const json& data)
{
    const json* part = object(data, "part");
    if (!part)
        return std::nullopt;
    const auto type = Json::string(*part, "type");
    if (!type)
        return std::nullopt;
    if (*type == "tool") {
        const auto tool = Json::string(*part, "tool");
        if (!tool)
            return std::nullopt;
        json input = json::object();
        if (const json* state = object(*part, "state")) {
            if (const json* given = object(*state, "input"))
                input = *given;
        }
        return OpenCodeUpdate{OpenCodeUpdate::ToolActivity{
            std::move(sessionID), ToolDetail::cutPath(ToolActivity::describe(*tool, input)),
            ToolDetail::parse(*tool, input), Json::string(*part, "callID")}};
    }
    if (*type == "text") {
        const auto text = Json::string(*part, "text");
        if (!text)
            return std::nullopt;
        const auto first = text->find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            return std::nullopt;
        const auto last = text->find_last_not_of(" \t\r\n");
        return OpenCodeUpdate{
            OpenCodeUpdate::AssistantText{std::move(sessionID), text->substr(first, last - first + 1)}};
    }
    return std::nullopt;
}

std::optional<OpenCodeUpdate> messageInfo(std::string sessionID, const json& data)
{
    const json* info = object(data, "info");
    if (!info || Json::string(*info, "role") != "assistant")
        return std::nullopt;
    const json* tokens = object(*info, "tokens");
    if (!tokens)
        return std::nullopt;
    const std::int64_t fill = contextFill(*tokens);
    if (fill < 1)
        return std::nullopt;
    return OpenCodeUpdate{OpenCodeUpdate::Context{std::move(sessionID), fill, modelText(*info)}};
}

std::string permissionTitle(const json& data, std::string_view nameKey)
{
    auto title = Json::string(data, nameKey);
    if (!title)
        title = nestedString(data, "metadata", "title");
    return title ? ToolText::activityLine(*title) : std::string(kDefaultPermissionTitle);
}

std::optional<OpenCodeUpdate> permissionAsked(std::string sessionID, const json& data, bool v2)
{
    auto requestID = Json::string(data, "id");
    if (!requestID)
        return std::nullopt;
    // The original API names the permission under "permission" and the call under "tool"; the
    // newer one says "action" and "source".
    std::string title = permissionTitle(data, v2 ? "action" : "permission");
    auto callID = nestedString(data, v2 ? "source" : "tool", "callID");
    return OpenCodeUpdate{OpenCodeUpdate::PermissionAsked{std::move(sessionID), std::move(*requestID),
                                                          std::move(title), std::move(callID)}};
}

std::optional<OpenCodeUpdate> questionAsked(std::string sessionID, const json& data)
{
    auto requestID = Json::string(data, "id");
    if (!requestID)
        return std::nullopt;
    auto asked = inquiry(Json::member(data, "questions"));
    if (!asked)
        return std::nullopt;
    return OpenCodeUpdate{
        OpenCodeUpdate::QuestionAsked{std::move(sessionID), std::move(*requestID), std::move(*asked)}};
}

std::optional<OpenCodeUpdate> sessionStatus(std::string sessionID, const json& data)
{
    const auto type = nestedString(data, "status", "type");
    if (type == "idle")
        return OpenCodeUpdate{OpenCodeUpdate::Idle{std::move(sessionID)}};
    if (type == "busy")
        return OpenCodeUpdate{OpenCodeUpdate::Busy{std::move(sessionID)}};
    return std::nullopt;
}

bool isOneOf(std::string_view type, std::initializer_list<std::string_view> names)
{
    for (const auto name : names) {
        if (type == name)
            return true;
    }
    return false;
}

} // namespace

std::int64_t contextFill(const json& tokens)
{
    std::int64_t fill = intValue(Json::member(tokens, "input"));
    if (const json* cache = object(tokens, "cache")) {
        fill = saturatingAdd(fill, intValue(Json::member(*cache, "read")));
        fill = saturatingAdd(fill, intValue(Json::member(*cache, "write")));
    } else {
        fill = saturatingAdd(fill, intValue(Json::member(tokens, "cache")));
    }
    return fill;
}

std::optional<OpenCodeUpdate> parse(std::string_view bytes)
{
    const auto root = Json::parse(bytes);
    if (!root || !root->is_object())
        return std::nullopt;
    const auto type = Json::string(*root, "type");
    const json* data = object(*root, "data");
    if (!data)
        data = object(*root, "properties");
    if (!type || !data)
        return std::nullopt;

    if (isOneOf(*type, {"session.created", "session.updated"}))
        return sessionInfo(*data);

    auto sessionID = Json::string(*data, "sessionID");
    if (!sessionID)
        return std::nullopt;
    std::string id = std::move(*sessionID);

    if (*type == "session.idle")
        return OpenCodeUpdate{OpenCodeUpdate::Idle{std::move(id)}};
    if (*type == "session.status")
        return sessionStatus(std::move(id), *data);
    if (*type == "session.deleted")
        return OpenCodeUpdate{OpenCodeUpdate::Removed{std::move(id)}};
    if (*type == "message.part.updated")
        return messagePart(std::move(id), *data);
    if (*type == "message.updated")
        return messageInfo(std::move(id), *data);
    if (*type == "permission.v2.asked")
        return permissionAsked(std::move(id), *data, true);
    if (*type == "permission.asked")
        return permissionAsked(std::move(id), *data, false);
    if (isOneOf(*type, {"question.v2.asked", "question.asked"}))
        return questionAsked(std::move(id), *data);
    if (isOneOf(*type, {"permission.v2.replied", "question.v2.replied", "question.v2.rejected",
                        "permission.replied", "question.replied", "question.rejected"}))
        return OpenCodeUpdate{OpenCodeUpdate::Resolved{std::move(id), Json::string(*data, "requestID")}};
    return std::nullopt;
}

} // namespace velquist::OpenCodeEvent
