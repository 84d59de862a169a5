#include "Ingestion/TerminalTitleSetting.h"

#include "Shared/AgentConfigEditor.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"

#include <algorithm>
#include <cctype>

namespace velquist::TerminalTitleSetting {

namespace fs = std::filesystem;

bool isTruthy(const nlohmann::ordered_json& value)
{
    if (value.is_boolean())
        return value.get<bool>();
    if (value.is_number_integer())
        return value.get<std::int64_t>() != 0;
    if (value.is_string()) {
        std::string text = value.get<std::string>();
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text == "1" || text == "true" || text == "yes";
    }
    return false;
}

bool isDisabled(const fs::path& path)
{
    const FileRead read = FileUtil::read(path);
    if (!read.ok())
        return false;
    const std::optional<nlohmann::ordered_json> settings = Json::parseOrdered(read.bytes);
    if (!settings || !settings->is_object())
        return false;
    const auto env = settings->find("env");
    if (env == settings->end() || !env->is_object())
        return false;
    const auto flag = env->find(kVariable);
    return flag != env->end() && isTruthy(*flag);
}

ConfigChange enableTitles(const fs::path& path)
{
    using Status = AgentConfigEdit::Status;
    // No backup: the one beside the file is the installer's copy from before our hooks went in.
    const AgentConfigEdit edit = AgentConfigEditor::edit({path, {}}, [](nlohmann::ordered_json& settings) {
        const auto env = settings.find("env");
        if (env == settings.end() || !env->is_object() || !env->contains(kVariable))
            return false;
        env->erase(kVariable);
        if (env->empty())
            settings.erase(env);
        return true;
    });
    switch (edit.status) {
    case Status::rewritten:
        return {true, {}};
    case Status::unchanged:
    case Status::missing:
    case Status::unreadable:
        return {};
    case Status::notObject:
        // Valid JSON of another shape holds no flag to clear; broken JSON is worth telling.
        if (Json::parseOrdered(FileUtil::read(path).bytes))
            return {};
        return {false, path.string() + " is not valid JSON"};
    case Status::notWritable:
    case Status::failed:
        break;
    }
    return {false, edit.error};
}

} // namespace velquist::TerminalTitleSetting
