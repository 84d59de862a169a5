#include "Ingestion/CodexTranscriptParser.h"

#include "Ingestion/FastJson.h"
#include "Ingestion/TranscriptFields.h"

namespace velquist::CodexTranscriptParser {

using namespace TranscriptFields;

namespace {

std::vector<TranscriptItem> tokenCount(Value record)
{
    const auto info = objectAt(record, "info");
    const auto total = info ? objectAt(*info, "total_token_usage") : std::nullopt;
    const auto tokens = total ? integer(*total, "total_tokens") : std::nullopt;
    if (!tokens)
        return {};
    std::vector<TranscriptItem> items{TranscriptItem::usage(*tokens)};
    if (const auto window = integer(*info, "model_context_window"))
        items.push_back(TranscriptItem::contextWindow(*window));
    return items;
}

std::vector<TranscriptItem> functionCall(Value record)
{
    auto name = string(record, "name");
    if (!name)
        return {};
    // The arguments arrive as JSON text of their own; parsing them ends the line's document.
    std::optional<nlohmann::json> input;
    if (const auto arguments = string(record, "arguments"); arguments && !arguments->empty())
        input = FastJson::parse(*arguments);
    return {toolUse(std::move(*name), input && input->is_object() ? &*input : nullptr)};
}

std::vector<TranscriptItem> writtenText(Value record, std::string_view key)
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
    const auto payload = objectAt(*root, "payload");
    const Value record = payload ? *payload : *root;
    const auto type = text(record, "type");
    if (!type)
        return {};
    if (*type == "task_started") {
        if (const auto window = integer(record, "model_context_window"))
            return {TranscriptItem::contextWindow(*window)};
        return {};
    }
    if (*type == "task_complete")
        return writtenText(record, "last_agent_message");
    if (*type == "token_count")
        return tokenCount(record);
    if (*type == "agent_message")
        return writtenText(record, "message");
    if (*type == "function_call")
        return functionCall(record);
    return {};
}

} // namespace velquist::CodexTranscriptParser
