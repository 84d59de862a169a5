#include "Shared/AgentConfigFile.h"

#include "Shared/Json.h"

#include <sys/stat.h>
#include <system_error>

namespace velquist::AgentConfigFile {

namespace fs = std::filesystem;

AgentConfig load(const fs::path& path)
{
    AgentConfig config;
    FileRead read = FileUtil::read(path);
    if (read.status == FileRead::Status::missing)
        return config;
    if (!read.ok()) {
        config.problem = AgentConfig::Problem::unreadable;
        config.error = read.error;
        return config;
    }
    std::optional<nlohmann::ordered_json> parsed = Json::parseOrdered(read.bytes);
    if (!parsed) {
        config.problem = AgentConfig::Problem::notJson;
        config.error = path.string() + " is not valid JSON; refusing to modify it.";
        return config;
    }
    if (!parsed->is_object()) {
        config.problem = AgentConfig::Problem::notObject;
        config.error = path.string() + " is not a JSON object; refusing to modify it.";
        return config;
    }
    config.settings = std::move(*parsed);
    config.original = std::move(read.bytes);
    return config;
}

std::string serialise(const nlohmann::ordered_json& settings)
{
    return Json::dump(settings, 2) + "\n";
}

FileResult writeBackup(const fs::path& path, const fs::path& backup, const std::string& original)
{
    struct stat info{};
    const mode_t mode = ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0600;
    return FileUtil::writeAtomically(backup, original, mode, FileUtil::ModePolicy::force);
}

FileResult save(const fs::path& path, const fs::path& backup, const AgentConfig& config,
                const nlohmann::ordered_json& settings)
{
    if (config.original) {
        if (FileResult saved = writeBackup(path, backup, *config.original); !saved)
            return saved;
    }
    if (path.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            return {"cannot create " + path.parent_path().string() + ": " + ec.message()};
    }
    return FileUtil::writeAtomically(path, serialise(settings), 0600);
}

} // namespace velquist::AgentConfigFile
