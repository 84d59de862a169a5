#include "Core/LegacySupportMigration.h"

#include "Shared/FileUtil.h"
#include "Shared/Log.h"

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace velquist::LegacySupportMigration {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLogPrefix = "Velquist: could not move the old support folder: ";

std::optional<std::vector<std::string>> listNames(const fs::path& folder)
{
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return std::nullopt;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return std::nullopt;
        names.push_back(it->path().filename().string());
    }
    return names;
}

} // namespace

void run(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(from, ec)))
        return;
    const auto names = listNames(from);
    if (!names)
        return;
    if (auto created = FileUtil::ensurePrivateDirectory(to); !created) {
        Log::system(kLogPrefix + created.error);
        return;
    }
    for (const auto& name : *names) {
        if (fs::exists(fs::symlink_status(to / name, ec)))
            continue;
        if (auto moved = FileUtil::move(from / name, to / name); !moved) {
            Log::system(kLogPrefix + moved.error);
            return;
        }
    }
    const auto remaining = listNames(from);
    if (!remaining || !remaining->empty())
        return;
    fs::remove(from, ec);
}

} // namespace velquist::LegacySupportMigration
