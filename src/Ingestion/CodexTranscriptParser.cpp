#include "Ingestion/CodexTranscriptParser.h"

#include "Ingestion/TranscriptFields.h"
#include "Shared/Json.h"

namespace velquist::CodexTranscriptParser {

using namespace TranscriptFields;

namespace {

std::vector<TranscriptItem> tokenCount(const nlohmann::json& record)
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

std::vector<TranscriptItem> functionCall(const nlohmann::json& record)
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

std::vector<TranscriptItem> text(const nlohmann::json& record, std::string_view key)
{
    if (auto message = nonBlankString(record, key))
        return {TranscriptItem::assistantText(std::move(*message))};
    return {};
}

} // namespace

std::vector<TranscriptItem> parse(std::string_view line)
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
        return text(record, "last_agent_message");
    if (*type == "token_count")
        return tokenCount(record);
    if (*type == "agent_message")
        return text(record, "message");
    if (*type == "function_call")
        return functionCall(record);
    return {};
}

} // namespace velquist::CodexTranscriptParser
