#include "Ingestion/ToolActivity.h"

#include "Core/ToolNaming.h"
#include "Core/ToolText.h"
#include "Shared/Json.h"

#include <QString>
#include <QUrl>
#include <initializer_list>
#include <optional>

namespace velquist::ToolActivity {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    for (const std::string_view candidate : names) {
        if (name == candidate)
            return true;
    }
    return false;
}

std::optional<std::string> urlHost(const std::string& text)
{
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url.host(QUrl::FullyEncoded).toStdString();
}

std::optional<std::string> firstQuestion(const nlohmann::json& input)
{
    const nlohmann::json* questions = Json::member(input, "questions");
    if (!questions || !questions->is_array() || questions->empty())
        return std::nullopt;
    for (const auto& element : *questions) {
        if (!element.is_object())
            return std::nullopt;
    }
    return Json::string(questions->front(), "question");
}

} // namespace

std::string describe(std::string_view tool, const nlohmann::json& input)
{
    static const nlohmann::json emptyObject = nlohmann::json::object();
    const nlohmann::json& in = input.is_object() ? input : emptyObject;
    const std::string fallback = ToolNaming::display(tool);

    // A row that needs a key yields the display name when the key holds no string.
    auto prefixed = [&](const char* prefix, std::optional<std::string> value, bool oneLine) {
        if (!value)
            return fallback;
        const std::string text = prefix + *value;
        return oneLine ? ToolText::activityLine(text) : text;
    };
    auto fileText = [&](const char* verb, std::initializer_list<std::string_view> keys) {
        const auto path = Json::firstString(in, keys);
        return prefixed(verb, path ? std::optional(ToolText::fileName(*path)) : std::nullopt, false);
    };

    if (isOneOf(tool, {"Read", "read_many_files", "list"}))
        return fileText("Read ", {"file_path", "absolute_path", "filePath", "path"});
    if (isOneOf(tool, {"read_file", "read"}))
        return fileText("Read ", {"absolute_path", "file_path", "filePath"});
    if (isOneOf(tool, {"Edit", "MultiEdit", "replace", "edit"}))
        return fileText("Edit ", {"file_path", "filePath"});
    if (isOneOf(tool, {"Write", "write_file", "write"}))
        return fileText("Write ", {"file_path", "filePath"});
    if (tool == "NotebookEdit")
        return fileText("Edit ", {"notebook_path"});
    if (tool == "Bash") {
        if (auto description = Json::string(in, "description"))
            return ToolText::activityLine(*description);
        return prefixed("$ ", Json::string(in, "command"), true);
    }
    if (isOneOf(tool, {"Shell", "run_shell_command", "bash"}))
        return prefixed("$ ", Json::string(in, "command"), true);
    if (isOneOf(tool, {"exec_command", "local_shell"}))
        return prefixed("$ ", Json::firstString(in, {"cmd", "command"}), true);
    if (isOneOf(tool, {"Grep", "search_file_content", "grep"}))
        return prefixed("Search ", Json::string(in, "pattern"), true);
    if (isOneOf(tool, {"Glob", "glob"}))
        return prefixed("Find ", Json::string(in, "pattern"), true);
    if (isOneOf(tool, {"WebFetch", "webfetch"})) {
        const auto url = Json::string(in, "url");
        return prefixed("Fetch ", url ? urlHost(*url) : std::nullopt, false);
    }
    if (tool == "web_fetch")
        return prefixed("Fetch ", Json::firstString(in, {"prompt", "url"}), true);
    if (isOneOf(tool, {"WebSearch", "google_web_search", "websearch"}))
        return prefixed("Search web: ", Json::string(in, "query"), true);
    if (isOneOf(tool, {"Task", "Agent"}))
        return prefixed("Agent: ", Json::string(in, "description"), true);
    if (isOneOf(tool, {"TodoWrite", "TaskCreate", "TaskUpdate"}))
        return "Updating tasks";
    if (isOneOf(tool, {"AskUserQuestion", "request_user_input"})) {
        if (auto question = firstQuestion(in))
            return ToolText::activityLine(*question);
        return "Asking a question";
    }
    if (tool == "ExitPlanMode")
        return "Plan ready for review";
    if (tool == "Skill")
        return prefixed("Skill: ", Json::string(in, "skill"), false);
    return fallback;
}

} // namespace velquist::ToolActivity
