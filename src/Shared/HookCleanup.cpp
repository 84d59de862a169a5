#include "Shared/HookCleanup.h"

#include "Shared/AgentCatalog.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/JsonRewrite.h"
#include "Shared/JsonScan.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velquist {

namespace fs = std::filesystem;
using ordered_json = nlohmann::ordered_json;

HookLock::HookLock(const HomePaths& paths, std::chrono::milliseconds wait)
{
    FileUtil::ensurePrivateDirectory(paths.support());
    // Never through a link: creating or locking a file elsewhere would guard nothing of ours.
    const int fd = ::open(paths.hooksLock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return;
    // Polled rather than blocking: a holder that hangs must not hang every agent's hook with it.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        if (errno == EINTR)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if (errno != EWOULDBLOCK || now >= deadline)
            break;
        const auto nap = std::min<std::chrono::nanoseconds>(pause, deadline - now);
        const timespec duration{static_cast<time_t>(nap.count() / 1000000000),
                                static_cast<long>(nap.count() % 1000000000)};
        ::nanosleep(&duration, nullptr);
        pause = std::min(pause * 2, std::chrono::milliseconds{50});
    }
    ::close(fd);
}

HookLock::~HookLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

namespace HookCleanup {

namespace {

// Agent settings are small; anything far larger is not a file we should be rewriting.
constexpr std::size_t kMaxConfigBytes = 16 * 1024 * 1024;
constexpr int kEditAttempts = 3;

bool isWordEnd(char c)
{
    return std::string_view(" \t\r\n'\";&|)<>`").find(c) != std::string_view::npos;
}

bool isPathStart(char c)
{
    return c == '/' || c == '\'' || c == '"' || c == ' ' || c == '\t';
}

bool isListOfObjects(const ordered_json& value)
{
    if (!value.is_array())
        return false;
    for (const auto& element : value) {
        if (!element.is_object())
            return false;
    }
    return true;
}

bool hasOwnCommand(const ordered_json& entry)
{
    const auto command = entry.find("command");
    return command != entry.end() && command->is_string() && isOurs(command->get_ref<const std::string&>());
}

// One event's entries without ours; returns whether anything was removed.
bool stripEntries(ordered_json& entries)
{
    bool changed = false;
    ordered_json kept = ordered_json::array();
    for (auto& entry : entries) {
        const auto inner = entry.find("hooks");
        if (inner != entry.end() && isListOfObjects(*inner)) {
            ordered_json innerKept = ordered_json::array();
            for (auto& hook : *inner) {
                if (!hasOwnCommand(hook))
                    innerKept.push_back(std::move(hook));
            }
            if (innerKept.size() != inner->size()) {
                changed = true;
                if (innerKept.empty())
                    continue;
            }
            *inner = std::move(innerKept);
            kept.push_back(std::move(entry));
        } else if (hasOwnCommand(entry)) {
            changed = true;
        } else {
            kept.push_back(std::move(entry));
        }
    }
    entries = std::move(kept);
    return changed;
}

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

bool isOurs(std::string_view command)
{
    for (const std::string_view marker : kOwnMarkers) {
        for (std::size_t at = command.find(marker); at != std::string_view::npos;
             at = command.find(marker, at + 1)) {
            const std::size_t end = at + marker.size();
            if ((at == 0 || isPathStart(command[at - 1])) &&
                (end == command.size() || isWordEnd(command[end])))
                return true;
        }
    }
    return false;
}

fs::path backupOf(const fs::path& file)
{
    fs::path backup = file;
    backup += kBackupSuffix;
    return backup;
}

std::vector<HookConfigFile> configs(const fs::path& home)
{
    std::vector<HookConfigFile> result;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        const fs::path file = agent.configPath(home);
        result.push_back({file, backupOf(file)});
    }
    return result;
}

bool strip(ordered_json& settings)
{
    if (!settings.is_object())
        return false;
    const auto hooks = settings.find("hooks");
    if (hooks == settings.end() || !hooks->is_object())
        return false;
    bool changed = false;
    std::vector<std::string> emptied;
    for (auto& [event, entries] : hooks->items()) {
        if (!isListOfObjects(entries) || !stripEntries(entries))
            continue;
        changed = true;
        if (entries.empty())
            emptied.push_back(event);
    }
    for (const auto& event : emptied)
        hooks->erase(event);
    if (changed && hooks->empty())
        settings.erase(hooks);
    return changed;
}

HookConfigEdit editConfig(const HookConfigFile& file, const std::function<bool(ordered_json&)>& edit)
{
    using Status = HookConfigEdit::Status;
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

std::vector<fs::path> stripAllConfigs(const fs::path& home)
{
    std::vector<fs::path> rewritten;
    for (const auto& file : configs(home)) {
        if (editConfig(file, strip).status == HookConfigEdit::Status::rewritten)
            rewritten.push_back(file.url);
    }
    return rewritten;
}

void recordInstalledApp(const HomePaths& paths, const fs::path& appPath)
{
    FileUtil::ensurePrivateDirectory(paths.support());
    FileUtil::writeOwnFile(paths.appPathFile(), appPath.string());
}

bool appIsDefinitelyGone(const HomePaths& paths)
{
    const FileRead file = FileUtil::read(paths.appPathFile(), 64 * 1024);
    if (!file.ok() || !JsonScan::isUtf8(file.bytes))
        return false;
    constexpr std::string_view blank = " \t\r\n\v\f";
    const std::string_view text = file.bytes;
    const std::size_t first = text.find_first_not_of(blank);
    if (first == std::string_view::npos)
        return false;
    const std::string path(text.substr(first, text.find_last_not_of(blank) - first + 1));
    // A relative path would be judged against the agent's folder, which says nothing.
    if (path.front() != '/')
        return false;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR;
}

} // namespace HookCleanup
} // namespace velquist
