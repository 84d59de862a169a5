#include "Core/AgentInquiry.h"

#include "Core/ToolText.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <algorithm>

namespace velquist {

namespace {

bool isListOfObjects(const nlohmann::json* value)
{
    return value && value->is_array() &&
           std::all_of(value->begin(), value->end(), [](const nlohmann::json& e) { return e.is_object(); });
}

// Only texts past the byte count of their bound are examined.
bool exceeds(const std::string& text, std::size_t characters)
{
    return text.size() > characters &&
           ToolText::truncated(text, characters, characters, "").size() < text.size();
}

std::optional<std::string> shown(std::optional<std::string> text)
{
    if (text && text->size() > AgentQuestion::kMaxShownCharacters)
        text = ToolText::truncated(*text, AgentQuestion::kMaxShownCharacters,
                                   AgentQuestion::kMaxShownCharacters - 1, "\u2026");
    return text;
}

} // namespace

nlohmann::ordered_json QuestionOption::toJson() const
{
    nlohmann::ordered_json json{{"label", label}};
    StoredForm::putOptional(json, "detail", detail);
    return json;
}

Decoded<QuestionOption> QuestionOption::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<QuestionOption>([&] {
        const StoredForm::Reader reader(json, {});
        return QuestionOption{reader.string("label"), reader.optionalString("detail")};
    });
}

std::optional<AgentQuestion> AgentQuestion::parseOne(const nlohmann::json& object)
{
    if (!object.is_object() || object.empty())
        return std::nullopt;
    auto text = Json::string(object, "question");
    if (!text)
        return std::nullopt;
    AgentQuestion question;
    question.question = std::move(*text);
    const nlohmann::json* options = Json::member(object, "options");
    if (isListOfObjects(options)) {
        for (const auto& option : *options) {
            if (auto label = Json::string(option, "label"))
                question.options.push_back(
                    QuestionOption{std::move(*label), shown(Json::string(option, "description"))});
        }
    }
    question.header = shown(Json::string(object, "header"));
    question.multiSelect = Json::boolean(object, "multiSelect").value_or(false);
    return question;
}

bool AgentQuestion::fitsAnswerBounds() const
{
    return !exceeds(question, kMaxQuestionCharacters) &&
           std::none_of(options.begin(), options.end(), [](const QuestionOption& option) {
               return exceeds(option.label, kMaxLabelCharacters);
           });
}

nlohmann::ordered_json AgentQuestion::toJson() const
{
    nlohmann::ordered_json json{{"question", question}};
    auto& list = json["options"] = nlohmann::ordered_json::array();
    for (const auto& option : options)
        list.push_back(option.toJson());
    StoredForm::putOptional(json, "header", header);
    json["multiSelect"] = multiSelect;
    return json;
}

Decoded<AgentQuestion> AgentQuestion::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<AgentQuestion>([&] {
        const StoredForm::Reader reader(json, {});
        return AgentQuestion{reader.string("question"), reader.records<QuestionOption>("options"),
                             reader.optionalString("header"), reader.boolean("multiSelect")};
    });
}

std::optional<AgentInquiry> AgentInquiry::parse(const nlohmann::json& toolInput)
{
    const nlohmann::json* questions = Json::member(toolInput, "questions");
    if (!isListOfObjects(questions))
        return std::nullopt;
    std::vector<AgentQuestion> parsed;
    for (const auto& element : *questions) {
        if (auto question = AgentQuestion::parseOne(element))
            parsed.push_back(std::move(*question));
    }
    return fromQuestions(std::move(parsed));
}

std::optional<AgentInquiry> AgentInquiry::fromQuestions(std::vector<AgentQuestion> questions)
{
    if (questions.empty())
        return std::nullopt;
    if (!std::all_of(questions.begin(), questions.end(),
                     [](const AgentQuestion& question) { return question.fitsAnswerBounds(); })) {
        Log::debug("question", "a question or option is too long to answer exactly; left to the agent");
        return std::nullopt;
    }
    return AgentInquiry{std::move(questions)};
}

std::optional<std::map<std::string, std::string>>
AgentInquiry::answers(const std::vector<std::vector<std::int64_t>>& selections) const
{
    if (selections.size() != questions.size())
        return std::nullopt;
    std::map<std::string, std::string> result;
    for (std::size_t i = 0; i < questions.size(); ++i) {
        const AgentQuestion& question = questions[i];
        std::vector<std::int64_t> picks = selections[i];
        if (picks.empty())
            return std::nullopt;
        std::sort(picks.begin(), picks.end());
        std::string joined;
        bool first = true;
        for (const std::int64_t index : picks) {
            if (index < 0 || static_cast<std::uint64_t>(index) >= question.options.size())
                return std::nullopt;
            if (!first)
                joined += ", ";
            first = false;
            joined += question.options[static_cast<std::size_t>(index)].label;
        }
        result[question.question] = std::move(joined);
    }
    return result;
}

bool AgentInquiry::isAnswerable() const
{
    return std::all_of(questions.begin(), questions.end(),
                       [](const AgentQuestion& question) { return !question.options.empty(); });
}

nlohmann::ordered_json AgentInquiry::toJson() const
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& question : questions)
        list.push_back(question.toJson());
    return nlohmann::ordered_json{{"questions", std::move(list)}};
}

Decoded<AgentInquiry> AgentInquiry::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<AgentInquiry>([&] {
        const StoredForm::Reader reader(json, {});
        return AgentInquiry{reader.records<AgentQuestion>("questions")};
    });
}

} // namespace velquist
