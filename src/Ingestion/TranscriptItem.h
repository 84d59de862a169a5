#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velquist {

// One fact read from one transcript line. Every agent's line parser speaks this vocabulary, so
// the tailer folds them all the same way.
struct TranscriptItem
{
    // A non-blank block of text the assistant wrote.
    struct AssistantText
    {
        std::string text;
        bool operator==(const AssistantText&) const = default;
    };
    // The assistant called a tool: the agent's tool name and the one-line activity text, with the
    // call's id where the transcript gives one (its result names the same id).
    struct AssistantToolUse
    {
        std::string name;
        std::string activity;
        std::string id;
        bool operator==(const AssistantToolUse&) const = default;
    };
    // Tokens now in the model's context, and the model that reported them when known.
    struct Usage
    {
        std::int64_t tokens = 0;
        std::optional<std::string> model;
        bool operator==(const Usage&) const = default;
    };
    // The model's context window as the transcript reports it.
    struct ContextWindow
    {
        std::int64_t size = 0;
        bool operator==(const ContextWindow&) const = default;
    };
    // The title the agent generated for the session.
    struct Title
    {
        std::string text;
        bool operator==(const Title&) const = default;
    };
    // The line carried the result of one or more tool calls, with the ids of those calls where the
    // transcript gives them.
    struct ToolResult
    {
        std::vector<std::string> toolUseIDs;
        bool operator==(const ToolResult&) const = default;
    };

    using Value = std::variant<AssistantText, AssistantToolUse, Usage, ContextWindow, Title, ToolResult>;
    Value value;

    static TranscriptItem assistantText(std::string text) { return {AssistantText{std::move(text)}}; }
    static TranscriptItem assistantToolUse(std::string name, std::string activity, std::string id = {})
    {
        return {AssistantToolUse{std::move(name), std::move(activity), std::move(id)}};
    }
    static TranscriptItem usage(std::int64_t tokens, std::optional<std::string> model = std::nullopt)
    {
        return {Usage{tokens, std::move(model)}};
    }
    static TranscriptItem contextWindow(std::int64_t size) { return {ContextWindow{size}}; }
    static TranscriptItem title(std::string text) { return {Title{std::move(text)}}; }
    static TranscriptItem toolResult(std::vector<std::string> toolUseIDs = {})
    {
        return {ToolResult{std::move(toolUseIDs)}};
    }

    bool operator==(const TranscriptItem&) const = default;
};

// One agent's line parser: one line without its line feed in, the items it holds out, in line
// order; empty for anything unreadable. Pure, so tailers call it on their own threads.
using TranscriptLineParser = std::function<std::vector<TranscriptItem>(std::string_view line)>;

} // namespace velquist
