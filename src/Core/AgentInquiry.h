#pragma once

#include "Core/StoredForm.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

// One choice of an agent's question.
struct QuestionOption
{
    std::string label;                 // sent back as the answer
    std::optional<std::string> detail; // an explanation shown under the label

    bool operator==(const QuestionOption&) const = default;

    nlohmann::ordered_json toJson() const;
    static Decoded<QuestionOption> fromJson(const nlohmann::json& json);
};

// One multiple-choice question of an agent.
struct AgentQuestion
{
    std::string question; // the text, also the key of its answer
    std::vector<QuestionOption> options;
    std::optional<std::string> header;
    bool multiSelect = false;

    bool operator==(const AgentQuestion&) const = default;

    // One question object of a tool input: "question" must be a string; options without a string
    // "label" are dropped; "description" becomes an option's detail. None when unusable.
    static std::optional<AgentQuestion> parseOne(const nlohmann::json& object);

    nlohmann::ordered_json toJson() const;
    static Decoded<AgentQuestion> fromJson(const nlohmann::json& json);
};

// The questions an agent waits on, in the order it asked them.
struct AgentInquiry
{
    std::vector<AgentQuestion> questions;

    bool operator==(const AgentInquiry&) const = default;

    // From a question tool's input: "questions" must be a list of objects (one other element
    // rejects it); unusable questions are skipped. None when no question is left.
    static std::optional<AgentInquiry> parse(const nlohmann::json& toolInput);

    // The answer map for the user's picks, one list of option indices per question: question text to
    // the picked labels in index order joined by ", ". None when the number of lists differs from
    // the number of questions, or a list is empty or holds an index out of range.
    std::optional<std::map<std::string, std::string>>
    answers(const std::vector<std::vector<std::int64_t>>& selections) const;

    // Whether the panel can offer its answer form: every question has at least one option.
    bool isAnswerable() const;

    nlohmann::ordered_json toJson() const;
    static Decoded<AgentInquiry> fromJson(const nlohmann::json& json);
};

} // namespace velquist
