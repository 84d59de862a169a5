#include "Ingestion/TranscriptSnapshot.h"

#include <algorithm>

namespace velquist {

namespace {
template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang 14 builds the fuzz targets).
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;
} // namespace

// One result line counts once, for every tool it answers whose call was seen.
void TranscriptSnapshot::countToolResult(const TranscriptItem::ToolResult& result)
{
    ++toolResultCount;
    bool attributed = false;
    for (const auto& id : result.toolUseIDs) {
        const auto call = std::find_if(openToolUses.begin(), openToolUses.end(),
                                       [&](const auto& open) { return open.first == id; });
        if (call == openToolUses.end())
            continue;
        ++toolResultsByName[call->second];
        openToolUses.erase(call);
        attributed = true;
    }
    if (!attributed)
        ++unattributedToolResults;
}

void TranscriptSnapshot::resetToolResults()
{
    toolResultCount = 0;
    toolResultsByName.clear();
    unattributedToolResults = 0;
    openToolUses.clear();
}

void TranscriptSnapshot::apply(const TranscriptItem& item)
{
    std::visit(Overloaded{
                   [this](const TranscriptItem::AssistantText& text) { lastAssistantText = text.text; },
                   [this](const TranscriptItem::AssistantToolUse& use) {
                       lastToolActivity = use.activity;
                       if (use.id.empty())
                           return;
                       openToolUses.emplace_back(use.id, use.name);
                       if (openToolUses.size() > kMaxOpenToolUses)
                           openToolUses.erase(openToolUses.begin());
                   },
                   [this](const TranscriptItem::Usage& usage) {
                       contextTokens = usage.tokens;
                       contextModel = usage.model;
                   },
                   [this](const TranscriptItem::ContextWindow& window) { contextLimit = window.size; },
                   [this](const TranscriptItem::Title& title) { aiTitle = title.text; },
                   [this](const TranscriptItem::ToolResult& result) { countToolResult(result); },
               },
               item.value);
}

} // namespace velquist
