#include "Platform/Linux/JsonFileDefaults.h"

#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

namespace velquist {

JsonFileDefaults::JsonFileDefaults(std::filesystem::path file)
    : UserDefaults(load(file)), m_file(std::move(file))
{
}

nlohmann::json JsonFileDefaults::load(const std::filesystem::path& file)
{
    const FileRead read = FileUtil::read(file, 16 * 1024 * 1024);
    if (read.status == FileRead::Status::missing)
        return nlohmann::json::object();
    if (read.ok()) {
        if (auto parsed = Json::parse(read.bytes); parsed && parsed->is_object())
            return *parsed;
    }
    const auto aside = FileUtil::moveAside(file);
    Log::debug("defaults", "unreadable settings file " + file.string() + " moved to " + aside.string());
    return nlohmann::json::object();
}

void JsonFileDefaults::persist(const nlohmann::json& all)
{
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    if (auto result = FileUtil::writeOwnFile(m_file, Json::dump(all, 2) + "\n"); !result)
        Log::debug("defaults", result.error);
}

void JsonFileDefaults::erasePersisted()
{
    std::error_code ec;
    std::filesystem::remove(m_file, ec);
    if (ec)
        Log::debug("defaults", "could not remove " + m_file.string() + ": " + ec.message());
    // The folder is ours alone; it goes too when nothing else is left in it.
    std::filesystem::remove(m_file.parent_path(), ec);
}

} // namespace velquist
