#include "Ingestion/TranscriptParser.h"

#include "Ingestion/TranscriptFields.h"

namespace velquist::TranscriptParser {

using namespace TranscriptFields;

namespace {

std::vector<TranscriptItem> assistant(Value message)
{
    const auto content = objectList(message, "content");
    if (!content)
        return {};
    std::vector<TranscriptItem> items;
    for (const auto element : *content) {
        const auto type = text(element, "type");
        if (type == "text") {
            if (auto written = nonBlankString(element, "text"))
                items.push_back(TranscriptItem::assistantText(std::move(*written)));
        } else if (type == "tool_use") {
            if (auto name = string(element, "name")) {
                auto item = toolUse(std::move(*name), objectAt(element, "input"));
                if (auto id = string(element, "id"))
                    std::get<TranscriptItem::AssistantToolUse>(item.value).id = std::move(*id);
                items.push_back(std::move(item));
            }
        }
    }
    if (const auto usage = objectAt(message, "usage")) {
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

std::vector<TranscriptItem> user(Value message)
{
    const auto content = objectList(message, "content");
    if (!content)
        return {};
    bool hasResult = false;
    std::vector<std::string> ids;
    for (const auto element : *content) {
        if (text(element, "type") != "tool_result")
            continue;
        hasResult = true;
        if (auto id = string(element, "tool_use_id"))
            ids.push_back(std::move(*id));
    }
    if (!hasResult)
        return {};
    return {TranscriptItem::toolResult(std::move(ids))};
}

} // namespace

std::vector<TranscriptItem> parse(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    // Lines of sub-agent conversations.
    if (boolean(*root, "isSidechain") == true)
        return {};
    const auto type = text(*root, "type");
    if (type == "ai-title") {
        if (auto title = nonBlankString(*root, "aiTitle"))
            return {TranscriptItem::title(std::move(*title))};
        return {};
    }
    const auto message = objectAt(*root, "message");
    if (!message || !type)
        return {};
    if (*type == "assistant")
        return assistant(*message);
    if (*type == "user")
        return user(*message);
    return {};
}

} // namespace velquist::TranscriptParser
