// The transcript parsers as first written, each line turned into a whole tree first: slow but
// plain, so the parsers that read lines in place can be checked against them line by line.

#include "ReferenceTranscriptParsers.h"

#include "Ingestion/FastJson.h"
#include "Ingestion/ToolActivity.h"
#include "Ingestion/TranscriptFields.h"
#include "Shared/Json.h"

#include <cmath>
#include <limits>

namespace velquist::ReferenceTranscriptParsers {

using TranscriptFields::isBlank;
using TranscriptFields::trimmed;

std::optional<nlohmann::json> object(std::string_view line)
{
    if (line.empty())
        return std::nullopt;
    auto value = FastJson::parse(line);
    if (!value || !value->is_object())
        return std::nullopt;
    return value;
}

const nlohmann::json* objectAt(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    return value && value->is_object() ? value : nullptr;
}

const nlohmann::json* objectList(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    if (!value || !value->is_array())
        return nullptr;
    for (const auto& element : *value) {
        if (!element.is_object())
            return nullptr;
    }
    return value;
}

std::optional<std::string> string(const nlohmann::json& object, std::string_view key)
{
    return Json::string(object, key);
}

std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_number_integer() && !value->is_number_unsigned())
        return value->get<std::int64_t>();
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    if (value->is_number_float()) {
        const double number = value->get<double>();
        // Both bounds exactly representable; the upper one is 2^63 itself, so it is excluded.
        if (std::trunc(number) == number && number >= -9223372036854775808.0 &&
            number < 9223372036854775808.0)
            return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
}

std::optional<std::string> nonBlankString(const nlohmann::json& object, std::string_view key)
{
    auto value = Json::string(object, key);
    if (!value || isBlank(*value))
        return std::nullopt;
    return value;
}

std::optional<TranscriptItem> usage(const nlohmann::json& counts,
                                    std::initializer_list<std::string_view> keys,
                                    const nlohmann::json& record)
{
    for (const auto key : keys) {
        if (const auto count = integer(counts, key)) {
            if (*count < 1)
                return std::nullopt;
            return TranscriptItem::usage(*count, string(record, "model"));
        }
    }
    return std::nullopt;
}

TranscriptItem toolUse(std::string name, const nlohmann::json* input)
{
    static const nlohmann::json empty = nlohmann::json::object();
    auto activity = ToolActivity::describe(name, input ? *input : empty);
    return TranscriptItem::assistantToolUse(std::move(name), std::move(activity));
}

// TranscriptParser
std::vector<TranscriptItem> claude_assistant(const nlohmann::json& message)
{
    const auto* content = objectList(message, "content");
    if (!content)
        return {};
    std::vector<TranscriptItem> items;
    for (const auto& element : *content) {
        const auto type = string(element, "type");
        if (type == "text") {
            if (auto text = nonBlankString(element, "text"))
                items.push_back(TranscriptItem::assistantText(std::move(*text)));
        } else if (type == "tool_use") {
            if (auto name = string(element, "name")) {
                auto item = toolUse(std::move(*name), objectAt(element, "input"));
                if (auto id = string(element, "id"))
                    std::get<TranscriptItem::AssistantToolUse>(item.value).id = std::move(*id);
                items.push_back(std::move(item));
            }
        }
    }
    if (const auto* usage = objectAt(message, "usage")) {
        // Everything the model read this turn: fresh input plus both kinds of cached input.
        std::int64_t tokens = 0;
        for (const auto* key : {"input_tokens", "cache_read_input_tokens", "cache_creation_input_tokens"}) {
            const auto count = integer(*usage, key).value_or(0);
            if (__builtin_add_overflow(tokens, count, &tokens))
                return items;
        }
        if (tokens >= 1)
            items.push_back(TranscriptItem::usage(tokens, string(message, "model")));
    }
    return items;
}

std::vector<TranscriptItem> claude_user(const nlohmann::json& message)
{
    const auto* content = objectList(message, "content");
    if (!content)
        return {};
    bool hasResult = false;
    std::vector<std::string> ids;
    for (const auto& element : *content) {
        if (string(element, "type") != "tool_result")
            continue;
        hasResult = true;
        if (auto id = string(element, "tool_use_id"))
            ids.push_back(std::move(*id));
    }
    if (!hasResult)
        return {};
    return {TranscriptItem::toolResult(std::move(ids))};
}

std::vector<TranscriptItem> claude(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    // Lines of sub-agent conversations.
    if (Json::boolean(*root, "isSidechain") == true)
        return {};
    const auto type = string(*root, "type");
    if (type == "ai-title") {
        if (auto title = nonBlankString(*root, "aiTitle"))
            return {TranscriptItem::title(std::move(*title))};
        return {};
    }
    const auto* message = objectAt(*root, "message");
    if (!message || !type)
        return {};
    if (*type == "assistant")
        return claude_assistant(*message);
    if (*type == "user")
        return claude_user(*message);
    return {};
}

// CodexTranscriptParser
std::vector<TranscriptItem> codex_tokenCount(const nlohmann::json& record)
{
    const auto* info = objectAt(record, "info");
    const auto* total = info ? objectAt(*info, "total_token_usage") : nullptr;
    const auto tokens = total ? integer(*total, "total_tokens") : std::nullopt;
    if (!tokens)
        return {};
    std::vector<TranscriptItem> items{TranscriptItem::usage(*tokens)};
    if (const auto window = integer(*info, "model_context_window"))
        items.push_back(TranscriptItem::contextWindow(*window));
    return items;
}

std::vector<TranscriptItem> codex_functionCall(const nlohmann::json& record)
{
    auto name = string(record, "name");
    if (!name)
        return {};
    // The arguments arrive as JSON text of their own.
    std::optional<nlohmann::json> input;
    if (const auto arguments = string(record, "arguments"))
        input = object(*arguments);
    return {toolUse(std::move(*name), input ? &*input : nullptr)};
}

std::vector<TranscriptItem> codex_text(const nlohmann::json& record, std::string_view key)
{
    if (auto message = nonBlankString(record, key))
        return {TranscriptItem::assistantText(std::move(*message))};
    return {};
}

std::vector<TranscriptItem> codex(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto* payload = objectAt(*root, "payload");
    const auto& record = payload ? *payload : *root;
    const auto type = string(record, "type");
    if (!type)
        return {};
    if (*type == "task_started") {
        if (const auto window = integer(record, "model_context_window"))
            return {TranscriptItem::contextWindow(*window)};
        return {};
    }
    if (*type == "task_complete")
        return codex_text(record, "last_agent_message");
    if (*type == "token_count")
        return codex_tokenCount(record);
    if (*type == "agent_message")
        return codex_text(record, "message");
    if (*type == "function_call")
        return codex_functionCall(record);
    return {};
}

// CursorTranscriptParser
std::vector<TranscriptItem> cursor(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto role = string(*root, "role");
    if (role != "assistant" && role != "user")
        return {};
    const auto* message = objectAt(*root, "message");
    const auto* content = message ? objectList(*message, "content") : nullptr;
    if (!content || content->empty())
        return {};
    std::vector<TranscriptItem> items;
    for (const auto& element : *content) {
        const auto type = string(element, "type");
        if (*role == "user") {
            if (type == "tool_result")
                return {TranscriptItem::toolResult()};
        } else if (type == "text") {
            if (auto text = nonBlankString(element, "text"))
                items.push_back(TranscriptItem::assistantText(std::move(*text)));
        } else if (type == "tool_use") {
            if (auto name = string(element, "name"))
                items.push_back(toolUse(std::move(*name), objectAt(element, "input")));
        }
    }
    return items;
}

// GeminiTranscriptParser
// A plain string content is one text, trimmed; a list of parts gives each non-blank text as is.
std::vector<std::string> gemini_texts(const nlohmann::json* content)
{
    if (!content)
        return {};
    if (content->is_string()) {
        const auto text = trimmed(content->get_ref<const std::string&>());
        if (text.empty())
            return {};
        return {std::string(text)};
    }
    if (!content->is_array())
        return {};
    std::vector<std::string> result;
    for (const auto& part : *content) {
        if (!part.is_object())
            return {};
    }
    for (const auto& part : *content) {
        if (auto text = nonBlankString(part, "text"))
            result.push_back(std::move(*text));
    }
    return result;
}

bool gemini_hasFunctionResponse(const nlohmann::json& record)
{
    const auto* parts = objectList(record, "content");
    if (!parts)
        return false;
    for (const auto& part : *parts) {
        if (part.contains("functionResponse"))
            return true;
    }
    return false;
}

std::vector<TranscriptItem> gemini_reply(const nlohmann::json& record)
{
    std::vector<TranscriptItem> items;
    for (auto& text : gemini_texts(Json::member(record, "content")))
        items.push_back(TranscriptItem::assistantText(std::move(text)));
    if (const auto* calls = objectList(record, "toolCalls")) {
        for (const auto& call : *calls) {
            if (auto name = string(call, "name"))
                items.push_back(toolUse(std::move(*name), objectAt(call, "args")));
        }
    }
    if (const auto* tokens = objectAt(record, "tokens")) {
        if (auto item = usage(*tokens, {"input", "total"}, record))
            items.push_back(std::move(*item));
    }
    return items;
}

std::vector<TranscriptItem> gemini(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto type = string(*root, "type");
    if (type == "gemini")
        return gemini_reply(*root);
    if (type == "user" && gemini_hasFunctionResponse(*root))
        return {TranscriptItem::toolResult()};
    return {};
}

// QwenTranscriptParser
std::vector<TranscriptItem> qwen_assistant(const nlohmann::json& record)
{
    std::vector<TranscriptItem> items;
    const auto* message = objectAt(record, "message");
    if (const auto* parts = message ? objectList(*message, "parts") : nullptr) {
        for (const auto& part : *parts) {
            if (auto text = nonBlankString(part, "text")) {
                items.push_back(TranscriptItem::assistantText(std::move(*text)));
            } else if (const auto* call = objectAt(part, "functionCall")) {
                if (auto name = string(*call, "name"))
                    items.push_back(toolUse(std::move(*name), objectAt(*call, "args")));
            }
        }
    }
    if (const auto* metadata = objectAt(record, "usageMetadata")) {
        if (auto item = usage(*metadata, {"promptTokenCount", "totalTokenCount"}, record))
            items.push_back(std::move(*item));
    }
    if (const auto window = integer(record, "contextWindowSize"); window && *window >= 1)
        items.push_back(TranscriptItem::contextWindow(*window));
    return items;
}

std::vector<TranscriptItem> qwen(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto type = string(*root, "type");
    if (type == "tool_result")
        return {TranscriptItem::toolResult()};
    if (type == "assistant")
        return qwen_assistant(*root);
    return {};
}

} // namespace velquist::ReferenceTranscriptParsers
