#include "Ingestion/CursorTranscriptParser.h"

#include "Ingestion/TranscriptFields.h"

namespace velquist::CursorTranscriptParser {

using namespace TranscriptFields;

std::vector<TranscriptItem> parse(std::string_view line)
{
    const auto root = object(line);
    if (!root)
        return {};
    const auto role = text(*root, "role");
    if (role != "assistant" && role != "user")
        return {};
    const auto message = objectAt(*root, "message");
    const auto content = message ? objectList(*message, "content") : std::nullopt;
    if (!content || content->size() == 0)
        return {};
    std::vector<TranscriptItem> items;
    for (const auto element : *content) {
        const auto type = text(element, "type");
        if (*role == "user") {
            if (type == "tool_result")
                return {TranscriptItem::toolResult()};
        } else if (type == "text") {
            if (auto written = nonBlankString(element, "text"))
                items.push_back(TranscriptItem::assistantText(std::move(*written)));
        } else if (type == "tool_use") {
            if (auto name = string(element, "name"))
                items.push_back(toolUse(std::move(*name), objectAt(element, "input")));
        }
    }
    return items;
}

} // namespace velquist::CursorTranscriptParser
