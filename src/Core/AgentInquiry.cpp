#include "Core/AgentInquiry.h"

#include "Shared/Json.h"

#include <algorithm>

namespace velquist {

namespace {

bool isListOfObjects(const nlohmann::json* value)
{
    return value && value->is_array() &&
           std::all_of(value->begin(), value->end(), [](const nlohmann::json& e) { return e.is_object(); });
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
                    QuestionOption{std::move(*label), Json::string(option, "description")});
        }
    }
    question.header = Json::string(object, "header");
    question.multiSelect = Json::boolean(object, "multiSelect").value_or(false);
    return question;
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
    AgentInquiry inquiry;
    for (const auto& element : *questions) {
        if (auto question = AgentQuestion::parseOne(element))
            inquiry.questions.push_back(std::move(*question));
    }
    if (inquiry.questions.empty())
        return std::nullopt;
    return inquiry;
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
