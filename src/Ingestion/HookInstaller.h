#pragma once

#include "Shared/AgentCatalog.h"

#include "Ingestion/ConfigChange.h"
#include "Shared/FileUtil.h"
#include "Shared/HomePaths.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velquist {

class UserDefaults;

// One agent's hook installation.
struct HookInstallTarget
{
    std::filesystem::path configURL;
    // The file name followed by ".velquist.bak", beside the configuration.
    std::filesystem::path backupURL;
    // The agent's events to hook, in this order.
    std::vector<std::string> events;
    // The hook client's --engine, equal to the engine's session-id namespace.
    std::string engineNamespace;
    HookInstallStyle style = HookInstallStyle::claudeStyle;
    // Events whose hook waits for the user and so gets the long time-out.
    std::set<std::string> decideEvents;
    // The hook client's --decide-on.
    std::string decideOn;
    // Turns seconds into the agent's unit: 1 for seconds, 1000 for milliseconds.
    int timeoutScale = 1;
    // What the hook client prints when the application gives no answer (--unavailable).
    std::optional<std::string> unavailableResponse;
    // The installed hook client that the entries run.
    std::filesystem::path helper;
};

// Writes our hook entries into the five agents' configuration files and installs the hook client
// they run. Entries are merged into what the file holds: the user's hooks and key order stay, our
// own entry is updated in place and its duplicates removed, and the file is rewritten only when
// something changed, after a backup.
namespace HookInstaller {

// Each target lies in the home folder of `paths`.
// The agent's installation as its catalog row describes it, every hooked event included.
HookInstallTarget target(const HomePaths& paths, const AgentEntry& agent);
// Claude Code's target. "SubagentStart" and "SubagentStop" are listed only while the version
// probe's cached answer says the installed Claude Code knows them; an unprobed version counts as
// not knowing them, so reading the target never searches the executable.
HookInstallTarget claudeTarget(const HomePaths& paths, const UserDefaults& defaults);
// The target of the agent with this id namespace, which must be in the catalog: Claude Code's as
// above, any other agent's as its row describes it.
HookInstallTarget target(const HomePaths& paths, std::string_view idNamespace, const UserDefaults& defaults);

// Cursor's events whose hook waits for a decision.
const std::set<std::string>& cursorDecideEvents();

// `path` between double quotes, with the characters the shell still expands there escaped, so a
// home folder holding spaces, quotes or "$" runs the right program and nothing else.
std::string quotedPath(const std::string& path);

// The command line that runs the hook client at `helperPath` for an engine.
std::string expectedCommand(const std::string& helperPath, const std::string& engine,
                            const std::string& decideOn, const std::optional<std::string>& unavailable);
std::string cursorCommand(const std::string& event, const std::string& helperPath);

// Merges our entry under each of `events` into `settings`; true when anything changed. A "hooks"
// value that is no object, or an event's value that is no list of objects, is left exactly as it
// is (replacing it would drop the user's entries) and its key is added to `leftAlone`.
bool merge(nlohmann::ordered_json& settings, const std::string& command,
           const std::vector<std::string>& events, const std::set<std::string>& decideEvents,
           int timeoutScale, std::vector<std::string>* leftAlone = nullptr);
bool mergeCursor(nlohmann::ordered_json& settings, const std::string& helperPath,
                 std::vector<std::string>* leftAlone = nullptr);

// Brings the target's file up to date, backing it up first (HookCleanup::editConfig). A missing
// file is created; a file that cannot be read, is not a JSON object, or may not be written fails
// with an error and is left alone. Every key left alone inside it is logged once.
ConfigChange installHooks(const HookInstallTarget& target);

// Whether the target's file already holds our current entries. Every failure reads as false, and
// so does an event whose value we had to leave alone.
bool hooksInstalled(const HookInstallTarget& target);

// Copies the hook client `source` (the one beside the application) into the support folder of
// `paths`, replacing the previous copy in one step; on failure the previous copy stays.
FileResult ensureHelperInstalled(const HomePaths& paths, const std::filesystem::path& source);

} // namespace HookInstaller
} // namespace velquist
