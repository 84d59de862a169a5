#pragma once

#include "Ingestion/TranscriptItem.h"

#include <ostream>

namespace velquist {

// Readable items in test failures.
inline void PrintTo(const TranscriptItem& item, std::ostream* out)
{
    struct Printer
    {
        std::ostream& out;
        void operator()(const TranscriptItem::AssistantText& t) { out << "assistantText(" << t.text << ")"; }
        void operator()(const TranscriptItem::AssistantToolUse& t)
        {
            out << "assistantToolUse(" << t.name << ", " << t.activity << (t.id.empty() ? "" : ", " + t.id)
                << ")";
        }
        void operator()(const TranscriptItem::Usage& u)
        {
            out << "usage(" << u.tokens << ", " << (u.model ? *u.model : "no model") << ")";
        }
        void operator()(const TranscriptItem::ContextWindow& w) { out << "contextWindow(" << w.size << ")"; }
        void operator()(const TranscriptItem::Title& t) { out << "title(" << t.text << ")"; }
        void operator()(const TranscriptItem::ToolResult& r)
        {
            out << "toolResult(";
            for (const auto& id : r.toolUseIDs)
                out << id << (&id == &r.toolUseIDs.back() ? "" : ", ");
            out << ")";
        }
    };
    std::visit(Printer{*out}, item.value);
}

} // namespace velquist
