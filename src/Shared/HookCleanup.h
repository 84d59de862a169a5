#pragma once

#include "Shared/AgentConfigEditor.h"
#include "Shared/HomePaths.h"
#include "Shared/HookLock.h"

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

// The clean-up policy: which hook entries in the agents' configuration files are ours, removing
// them again (the files are edited through AgentConfigEditor), guarding such edits between the
// application and its hook clients, and recording where the application is installed so the hook
// client can tell when it has been deleted.
namespace HookCleanup {

// A hook command is ours when it runs the installed hook client under the current or the
// former product name.
inline constexpr std::string_view kOwnMarkers[] = {"Velquist/bin/quorvel", "Tarrowin/bin/quorvel"};
// Long enough for an edit of five small files, short enough that no agent waits on a hung holder.
inline constexpr std::chrono::milliseconds kLockWait{2000};

// Whether `command` runs our hook client: a marker standing as a whole path tail, so a quoted
// path ('/home/a b/.local/share/Velquist/bin/quorvel' --engine claude) counts and a mere mention
// (".../Velquist/bin/quorvel-notes.txt") does not.
bool isOurs(std::string_view command);

// The five agents' files below `home` in a fixed order: Claude Code, Codex, Cursor, Gemini CLI,
// Qwen Code.
std::vector<AgentConfigFile> configs(const std::filesystem::path& home);

// Removes our entries from the "hooks" object of one agent's settings, leaving everything else
// in its place and order. Returns whether anything was removed.
bool strip(nlohmann::ordered_json& settings);

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
