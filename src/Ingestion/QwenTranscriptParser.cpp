#include "Ingestion/QwenTranscriptParser.h"

#include "Ingestion/TranscriptFields.h"

namespace velquist::QwenTranscriptParser {

using namespace TranscriptFields;

namespace {

std::vector<TranscriptItem> assistant(Value record)
{
    std::vector<TranscriptItem> items;
    const auto message = objectAt(record, "message");
    if (const auto parts = message ? objectList(*message, "parts") : std::nullopt) {
        for (const auto part : *parts) {
            if (auto written = nonBlankString(part, "text")) {
                items.push_back(TranscriptItem::assistantText(std::move(*written)));
            } else if (const auto call = objectAt(part, "functionCall")) {
                if (auto name = string(*call, "name"))
                    items.push_back(toolUse(std::move(*name), objectAt(*call, "args")));
            }
        }
    }
    if (const auto metadata = objectAt(record, "usageMetadata")) {
        if (auto item = usage(*metadata, {"promptTokenCount", "totalTokenCount"}, record))
            items.push_back(std::move(*item));
    }
    if (const auto window = integer(record, "contextWindowSize"); window && *window >= 1)
        items.push_back(TranscriptItem::contextWindow(*window));
    return items;
}

} // namespace

std::vector<TranscriptItem> parse(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto type = text(*root, "type");
    if (type == "tool_result")
        return {TranscriptItem::toolResult()};
    if (type == "assistant")
        return assistant(*root);
    return {};
}

} // namespace velquist::QwenTranscriptParser
