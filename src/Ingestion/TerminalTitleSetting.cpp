#include "Ingestion/TerminalTitleSetting.h"

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
    AgentConfig config = AgentConfigFile::load(path);
    // Only a file we could parse can be changed; of the rest, only broken JSON is worth an error.
    if (config.problem == AgentConfig::Problem::notJson)
        return {false, config.error};
    if (!config.ok() || !config.original)
        return {};
    nlohmann::ordered_json settings = config.settings;
    const auto env = settings.find("env");
    if (env == settings.end() || !env->is_object() || !env->contains(kVariable))
        return {};
    env->erase(kVariable);
    if (env->empty())
        settings.erase("env");
    if (FileResult saved = AgentConfigFile::save(path, fs::path(path.string() + ".velquist.bak"), config, settings);
        !saved)
        return {false, saved.error};
    return {true, {}};
}

} // namespace velquist::TerminalTitleSetting
