#pragma once

#include "Shared/HomePaths.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace velquist {

// One agent configuration file that may hold our hook entries, and the backup that receives its
// previous bytes before we rewrite it (none when empty).
struct HookConfigFile
{
    std::filesystem::path url;
    std::filesystem::path backup;
};

// The outcome of `HookCleanup::editConfig`.
struct HookConfigEdit
{
    enum class Status {
        rewritten,   // the edit changed the settings; the backup and the new file are written
        unchanged,   // the edit changed nothing; neither file was touched
        missing,     // there is no such file
        unreadable,  // it exists but cannot be read (or is no regular file, or is huge)
        notObject,   // it is not JSON, or its top level is not an object
        notWritable, // the user may not write it, or another user owns it; it is left alone
        failed,      // the backup or the new file could not be written; the file is as it was
    };
    Status status = Status::missing;
    std::string error;
};

// An exclusive hold of "hooks.lock" in the support folder, released when the object goes.
class HookLock
{
  public:
    // Creates the support folder and the lock file (mode 0644) when needed and takes the lock,
    // waiting at most `wait` for another holder; `held()` tells whether it was taken.
    HookLock(const HomePaths& paths, std::chrono::milliseconds wait);
    ~HookLock();
    HookLock(const HookLock&) = delete;
    HookLock& operator=(const HookLock&) = delete;

    bool held() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

// Recognises our hook entries in the agents' configuration files and removes them again, guards
// such edits between the application and its hook clients, and records where the application is
// installed so the hook client can tell when it has been deleted.
namespace HookCleanup {

// A hook command is ours when it runs the installed hook client under the current or the
// former product name.
inline constexpr std::string_view kOwnMarkers[] = {"Velquist/bin/quorvel", "Tarrowin/bin/quorvel"};
inline constexpr std::string_view kBackupSuffix = ".velquist.bak";
// Long enough for an edit of five small files, short enough that no agent waits on a hung holder.
inline constexpr std::chrono::milliseconds kLockWait{2000};

// Whether `command` runs our hook client: a marker standing as a whole path tail, so a quoted
// path ('/home/a b/.local/share/Velquist/bin/quorvel' --engine claude) counts and a mere mention
// (".../Velquist/bin/quorvel-notes.txt") does not.
bool isOurs(std::string_view command);

// The five agents' files below `home` in a fixed order: Claude Code, Codex, Cursor, Gemini CLI,
// Qwen Code.
std::vector<HookConfigFile> configs(const std::filesystem::path& home);

// The backup beside `file`: its name followed by ".velquist.bak".
std::filesystem::path backupOf(const std::filesystem::path& file);

// Removes our entries from the "hooks" object of one agent's settings, leaving everything else
// in its place and order. Returns whether anything was removed.
bool strip(nlohmann::ordered_json& settings);

// Reads `file`, lets `edit` change its settings, and when it reports a change writes the previous
// bytes to the backup and then the new settings over the file, both atomically and keeping the
// file's mode; what the edit left alone keeps its bytes and the file its layout. Nothing is
// rewritten when the backup cannot be written, and an edit made by someone else while we worked is
// never overwritten (the edit is redone on the new content). A file the user may not write, or
// that another user owns, is never replaced: renaming over it would drop its protection.
HookConfigEdit editConfig(const HookConfigFile& file,
                          const std::function<bool(nlohmann::ordered_json&)>& edit);

// Strips our entries from every file of `configs(home)`; returns the files it rewrote. Files that
// are missing, unreadable or not JSON objects are left alone. Run under `withLock`.
std::vector<std::filesystem::path> stripAllConfigs(const std::filesystem::path& home);

// Runs `body` while holding "hooks.lock". When the lock file cannot be opened (a symbolic link in
// its place is not followed), or another holder
// keeps the lock past `wait`, the body is not run and the result is none (false for a body that
// returns nothing). The lock is released also when the body throws.
template <typename Body>
auto withLock(const HomePaths& paths, Body&& body, std::chrono::milliseconds wait = kLockWait)
{
    using Result = std::invoke_result_t<Body&>;
    HookLock lock(paths, wait);
    if constexpr (std::is_void_v<Result>) {
        if (!lock.held())
            return false;
        body();
        return true;
    } else {
        if (!lock.held())
            return std::optional<Result>();
        return std::optional<Result>(body());
    }
}

// Writes the application's path to "app-path" in the support folder (atomically, no newline).
// Failures are ignored: the hook client then simply never cleans up.
void recordInstalledApp(const HomePaths& paths, const std::filesystem::path& appPath);

// Whether the application recorded in "app-path" is gone: true only when the file holds an
// absolute path (valid UTF-8, white space trimmed) and nothing exists there any more. A missing,
// unreadable or empty file, or a path we cannot check, is never taken for a deleted application.
bool appIsDefinitelyGone(const HomePaths& paths);

} // namespace HookCleanup
} // namespace velquist
