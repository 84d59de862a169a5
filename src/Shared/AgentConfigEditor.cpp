#include "Shared/AgentConfigEditor.h"

#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/JsonRewrite.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace velquist::AgentConfigEditor {

namespace fs = std::filesystem;
using ordered_json = nlohmann::ordered_json;

namespace {

// Agent settings are small; anything far larger is not a file we should be rewriting.
constexpr std::size_t kMaxConfigBytes = 16 * 1024 * 1024;
constexpr int kEditAttempts = 3;

// Why the file (through its links) must not be replaced, or none when it may.
std::optional<std::string> writeRefusal(const fs::path& path)
{
    const fs::path target = FileUtil::resolveSymlinks(path);
    struct stat info
    {
    };
    if (::stat(target.c_str(), &info) != 0)
        return std::nullopt;
    if (info.st_uid != ::geteuid())
        return path.string() + " belongs to another user; leaving it alone.";
    // The owner's write bit, not access(2): a process with privilege may write anything, yet a
    // file the user made read-only still says "do not change me".
    if ((info.st_mode & S_IWUSR) == 0)
        return path.string() + " is read-only; leaving it alone.";
    return std::nullopt;
}

mode_t modeOf(const fs::path& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0600;
}

} // namespace

fs::path backupOf(const fs::path& file)
{
    fs::path backup = file;
    backup += kBackupSuffix;
    return backup;
}

AgentConfigEdit edit(const AgentConfigFile& file, const std::function<bool(ordered_json&)>& edit)
{
    using Status = AgentConfigEdit::Status;
    for (int attempt = 0; attempt < kEditAttempts; ++attempt) {
        const FileRead before = FileUtil::read(file.url, kMaxConfigBytes);
        if (before.status == FileRead::Status::missing)
            return {Status::missing, {}};
        if (!before.ok())
            return {Status::unreadable, before.error};
        auto settings = Json::parseOrdered(before.bytes);
        if (!settings || !settings->is_object())
            return {Status::notObject, file.url.string() + " is not a JSON object"};
        const ordered_json original = *settings;
        if (!edit(*settings))
            return {Status::unchanged, {}};
        if (auto refusal = writeRefusal(file.url))
            return {Status::notWritable, *refusal};
        const std::string after = JsonRewrite::rewrite(before.bytes, original, *settings);
        const mode_t mode = modeOf(file.url);
        if (!file.backup.empty()) {
            if (auto written =
                    FileUtil::writeAtomically(file.backup, before.bytes, mode, FileUtil::ModePolicy::force,
                                              FileUtil::LinkPolicy::replaceLink);
                !written)
                return {Status::failed, written.error};
        }
        // The agent may have saved the file while we worked; redo the edit on what it wrote.
        const FileRead current = FileUtil::read(file.url, kMaxConfigBytes);
        if (!current.ok() || current.bytes != before.bytes)
            continue;
        if (auto written = FileUtil::writeAtomically(file.url, after, mode); !written)
            return {Status::failed, written.error};
        return {Status::rewritten, {}};
    }
    return {Status::failed, file.url.string() + " kept changing while it was edited"};
}

} // namespace velquist::AgentConfigEditor
