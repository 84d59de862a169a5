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

    // The question and its option labels go back to the agent in the answer, so they are never
    // cut: a question past these bounds cannot be answered from the panel. The header and the
    // options' details are only shown, and are cut to `kMaxShownCharacters`.
    static constexpr std::size_t kMaxQuestionCharacters = 4096;
    static constexpr std::size_t kMaxLabelCharacters = 1024;
    static constexpr std::size_t kMaxShownCharacters = 1024;

    // One question object of a tool input: "question" must be a string; options without a string
    // "label" are dropped; "description" becomes an option's detail. None when unusable.
    static std::optional<AgentQuestion> parseOne(const nlohmann::json& object);

    // Whether the question and every option label are within their bounds.
    bool fitsAnswerBounds() const;

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
    // The parsed questions as an inquiry. None when there are none, or when one is past the
    // bounds of what is answered exactly: rather than send back a cut key, the whole inquiry is
    // left to the agent's own prompt.
    static std::optional<AgentInquiry> fromQuestions(std::vector<AgentQuestion> questions);

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
