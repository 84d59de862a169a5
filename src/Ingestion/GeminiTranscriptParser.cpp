#include "Ingestion/GeminiTranscriptParser.h"

#include "Ingestion/TranscriptFields.h"
#include "Shared/Json.h"

namespace velquist::GeminiTranscriptParser {

using namespace TranscriptFields;

namespace {

// A plain string content is one text, trimmed; a list of parts gives each non-blank text as is.
std::vector<std::string> texts(const nlohmann::json* content)
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

bool hasFunctionResponse(const nlohmann::json& record)
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

std::vector<TranscriptItem> reply(const nlohmann::json& record)
{
    std::vector<TranscriptItem> items;
    for (auto& text : texts(Json::member(record, "content")))
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

} // namespace

std::vector<TranscriptItem> parse(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto type = string(*root, "type");
    if (type == "gemini")
        return reply(*root);
    if (type == "user" && hasFunctionResponse(*root))
        return {TranscriptItem::toolResult()};
    return {};
}

} // namespace velquist::GeminiTranscriptParser
