#include "Ingestion/GeminiTranscriptParser.h"

#include "Ingestion/TranscriptFields.h"

namespace velquist::GeminiTranscriptParser {

using namespace TranscriptFields;

namespace {

// A plain string content is one text, trimmed; a list of parts gives each non-blank text as is.
std::vector<std::string> texts(std::optional<Value> content)
{
    if (!content)
        return {};
    std::string_view whole;
    if (content->get_string().get(whole) == simdjson::SUCCESS) {
        const auto kept = trimmed(whole);
        if (kept.empty())
            return {};
        return {std::string(kept)};
    }
    simdjson::dom::array parts;
    if (content->get_array().get(parts) != simdjson::SUCCESS)
        return {};
    std::vector<std::string> result;
    for (const auto part : parts) {
        if (!part.is_object())
            return {};
    }
    for (const auto part : parts) {
        if (auto written = nonBlankString(part, "text"))
            result.push_back(std::move(*written));
    }
    return result;
}

bool hasFunctionResponse(Value record)
{
    const auto parts = objectList(record, "content");
    if (!parts)
        return false;
    for (const auto part : *parts) {
        if (member(part, "functionResponse"))
            return true;
    }
    return false;
}

std::vector<TranscriptItem> reply(Value record)
{
    std::vector<TranscriptItem> items;
    for (auto& written : texts(member(record, "content")))
        items.push_back(TranscriptItem::assistantText(std::move(written)));
    if (const auto calls = objectList(record, "toolCalls")) {
        for (const auto call : *calls) {
            if (auto name = string(call, "name"))
                items.push_back(toolUse(std::move(*name), objectAt(call, "args")));
        }
    }
    if (const auto tokens = objectAt(record, "tokens")) {
        if (auto item = usage(*tokens, {"input", "total"}, record))
            items.push_back(std::move(*item));
    }
    return items;
}

} // namespace

std::vector<TranscriptItem> parse(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto type = text(*root, "type");
    if (type == "gemini")
        return reply(*root);
    if (type == "user" && hasFunctionResponse(*root))
        return {TranscriptItem::toolResult()};
    return {};
}

} // namespace velquist::GeminiTranscriptParser
