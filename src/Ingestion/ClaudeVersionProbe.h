#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QObject;

namespace velquist {

class CommandLookup;
class ProcessRunner;
class UserDefaults;

// An installed Claude Code: its version (the versions folder's entry name, or "unversioned-" and
// the executable's size) and its executable.
struct ClaudeInstallation
{
    std::string version;
    std::filesystem::path executable;
};

// Finds the installed Claude Code and whether it knows a hook event name. The answer comes from
// searching the executable for the name, which is slow, so it is cached in the user defaults under
// "claudeHookSupport.<version>.<event>"; a new version means new keys.
namespace ClaudeVersionProbe {

inline constexpr std::string_view kCachePrefix = "claudeHookSupport.";

// The newest entry of <home>/.local/share/claude/versions, else the first readable `claude` of the
// usual install places (symlinks resolved). Every function here looks below the home folder `home`.
std::optional<ClaudeInstallation> installedVersion(const std::filesystem::path& home);

// Whether the installed version is known to support `event`, from the cache alone: a version not
// probed yet counts as not supporting it. Never reads the executable, so it suits the main thread.
bool cachedSupport(const std::filesystem::path& home, const std::string& event, const UserDefaults& defaults);

// Whether the installed version supports `event`, searching the executable when the answer is not
// cached yet and caching it. Blocks on a read of tens of megabytes: never on the main thread.
bool supportsHookEvent(const std::filesystem::path& home, const std::string& event, UserDefaults& defaults);

// Drops every cached false answer, so those events are probed again; true answers stay.
void forgetNegativeAnswers(UserDefaults& defaults);

// The launch refresh: forgets the negative answers and asks "SubagentStart" and "SubagentStop"
// again. True when either is supported. Blocking, like supportsHookEvent.
bool refreshSubagentSupport(const std::filesystem::path& home, UserDefaults& defaults);

// Runs refreshSubagentSupport on a worker thread and hands its answer to `done` on the main
// thread, unless `context` is gone by then. `defaults` must outlive the work.
void refreshInBackground(const std::filesystem::path& home, UserDefaults& defaults, QObject* context,
                         std::function<void(bool anySupported)> done);

// The first word `claude --version` prints, `claude` found on the login shell's PATH. Starts
// processes, each with a time-out: call it on a worker, never on the main thread.
std::optional<std::string> version(ProcessRunner& runner, CommandLookup& lookup);

// version() on a worker, its answer handed to `done` on the calling thread unless `context` is
// gone by then. The runner and the lookup must outlive the work.
void versionInBackground(ProcessRunner& runner, CommandLookup& lookup, QObject* context,
                         std::function<void(std::optional<std::string>)> done);

// Whether the file holds `needle` anywhere; none when it cannot be read. Reads in bounded chunks.
std::optional<bool> fileContains(const std::filesystem::path& path, std::string_view needle);

} // namespace ClaudeVersionProbe
} // namespace velquist
