#include "Ingestion/TranscriptSnapshot.h"

namespace velquist {

namespace {
template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang 14 builds the fuzz targets).
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;
} // namespace

void TranscriptSnapshot::apply(const TranscriptItem& item)
{
    std::visit(Overloaded{
                   [this](const TranscriptItem::AssistantText& text) { lastAssistantText = text.text; },
                   [this](const TranscriptItem::AssistantToolUse& use) { lastToolActivity = use.activity; },
                   [this](const TranscriptItem::Usage& usage) {
                       contextTokens = usage.tokens;
                       contextModel = usage.model;
                   },
                   [this](const TranscriptItem::ContextWindow& window) { contextLimit = window.size; },
                   [this](const TranscriptItem::Title& title) { aiTitle = title.text; },
                   [this](const TranscriptItem::ToolResult&) { ++toolResultCount; },
               },
               item.value);
}

} // namespace velquist
