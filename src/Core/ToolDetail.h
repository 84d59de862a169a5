#pragma once

#include "Core/AgentInquiry.h"
#include "Core/StoredForm.h"
#include "Core/ToolParameter.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace velquist {

// One replacement inside a file.
struct EditHunk
{
    std::string oldString;
    std::string newString;

    bool operator==(const EditHunk&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<EditHunk> fromJson(const nlohmann::json& json);
};

// What a tool call does, folded from every agent's tool names and input keys into one form, so the
// panel can show a command, a diff, a written file, a question, a plan, a read, a search, a web
// access, a sub-agent launch, or the raw parameters of any other tool.
class ToolDetail
{
  public:
    // Texts an agent sends are clipped here (commands and edit sides 4,000 characters, written
    // content 8,000, plans 20,000) and marked with kTruncatedMarker.
    static constexpr std::string_view kTruncatedMarker = "\n\u2026 truncated";

    struct Bash
    {
        std::string command;
        std::optional<std::string> purpose; // the agent's own description
        bool background = false;
        bool operator==(const Bash&) const = default;
    };
    struct Edit
    {
        std::string path;
        std::vector<EditHunk> hunks; // never empty
        bool operator==(const Edit&) const = default;
    };
    struct Write
    {
        std::string path;
        std::string content;        // possibly clipped
        std::int64_t lineCount = 1; // of the full content
        bool operator==(const Write&) const = default;
    };
    struct Question
    {
        AgentInquiry inquiry;
        bool operator==(const Question&) const = default;
    };
    struct Plan
    {
        std::string text;
        bool operator==(const Plan&) const = default;
    };
    struct Read
    {
        std::string path;
        bool operator==(const Read&) const = default;
    };
    struct Search
    {
        std::string kind; // "Search" or "Find"
        std::string pattern;
        std::optional<std::string> path;
        bool operator==(const Search&) const = default;
    };
    struct Web
    {
        std::string kind;   // "Fetch" or "Search the web for"
        std::string target; // address, prompt or query
        bool operator==(const Web&) const = default;
    };
    struct Agent
    {
        std::string kind; // the sub-agent type, "agent" when not given
        std::string purpose;
        bool operator==(const Agent&) const = default;
    };
    struct Other
    {
        std::string toolName;
        std::string display;
        std::vector<ToolParameter> parameters;
        bool operator==(const Other&) const = default;
    };
    using Value = std::variant<Bash, Edit, Write, Question, Plan, Read, Search, Web, Agent, Other>;

    // From any case (or a Value), so `ToolDetail detail = ToolDetail::Read{"/a"};` reads naturally.
    template <typename Case>
    requires std::is_constructible_v<Value, Case&&> &&
        (!std::is_same_v<std::decay_t<Case>, ToolDetail>)ToolDetail(Case&& value)
        : m_value(std::forward<Case>(value))
    {
    }

    const Value& value() const { return m_value; }
    // The payload when the value is that case, else nullptr. Not on a temporary, which would leave
    // the pointer dangling.
    template <typename Case> const Case* as() const& { return std::get_if<Case>(&m_value); }
    template <typename Case> const Case* as() const&& = delete;

    // From a tool call; names are matched exactly, input keys in snake and camel case. What cannot
    // be placed becomes Other. `input` that is not an object counts as empty. Pure, thread-safe.
    static ToolDetail parse(std::string_view toolName, const nlohmann::json& input);

    // A path as it is kept: none that names a real file comes near this bound. Paths, search
    // patterns and addresses are cut to it by `parse`.
    static constexpr std::size_t kMaxPathCharacters = 4096;
    static std::string cutPath(std::string path);

    // A tool name as it is kept and shown: no real tool's name comes near this bound.
    static constexpr std::size_t kMaxToolNameCharacters = 256;
    static std::string boundedToolName(std::string_view toolName);

    // The one-line heading: "List files", "Edit main.c (3 changes)", "Search TODO", ...
    std::string title() const;

    // A warning line: for a dangerous shell command, or for a write over an existing file once
    // inspectWriteTarget() has looked. Pure: it never touches the file system, so views may ask it
    // on every drawing.
    std::optional<std::string> riskNote() const;

    // For a write, looks once at its target ("Overwrites an existing 12 line file", or without the
    // count when the file is not a readable regular UTF-8 file within 16 MiB) and keeps the answer
    // for riskNote(). A relative path is taken against `sessionFolder` (the agent's working
    // directory); without an absolute folder it is not looked at. Blocking: call it off the main
    // thread, once per request. Does nothing for other cases.
    void inspectWriteTarget(const std::filesystem::path& sessionFolder);

    bool operator==(const ToolDetail&) const = default;

    // Stored form: an object with one key, the case name, holding the payload (unlabelled payloads
    // under "_0"). The write target's note is not stored.
    nlohmann::ordered_json toJson() const;
    static Decoded<ToolDetail> fromJson(const nlohmann::json& json);

  private:
    Value m_value;
    std::optional<std::string> m_writeTargetNote;
};

} // namespace velquist
