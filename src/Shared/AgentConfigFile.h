#pragma once

#include "Shared/FileUtil.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace velquist {

// An agent's configuration file loaded for an edit.
struct AgentConfig {
    // The top-level object, in the user's key order.
    nlohmann::ordered_json settings = nlohmann::ordered_json::object();
    // The bytes as read; none when the file does not exist yet.
    std::optional<std::string> original;
    // Why the file must not be edited: what went wrong, and the message for the user.
    enum class Problem { none, unreadable, notJson, notObject };
    Problem problem = Problem::none;
    std::string error;
    bool ok() const { return problem == Problem::none; }
};

// The outcome of an edit of an agent's configuration: `changed` when the file was rewritten.
struct ConfigChange {
    bool changed = false;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reading and rewriting the configuration files that belong to the agents (and so to the user):
// nothing is ever replaced that could not be read whole, and every rewrite keeps a backup.
namespace AgentConfigFile {

// Loads `path`. Only a missing file counts as empty; one that cannot be read, is not valid JSON
// or whose top level is not an object is refused with an error and must be left alone.
AgentConfig load(const std::filesystem::path& path);

// Pretty-printed, in the settings' own key order, slashes unescaped, with a final line feed.
std::string serialise(const nlohmann::ordered_json& settings);

// Writes `original` to `backup` (the previous backup is replaced) with the mode of `path`, so a
// file holding API keys does not leave a readable copy behind.
FileResult writeBackup(const std::filesystem::path& path, const std::filesystem::path& backup,
                       const std::string& original);

// Backs up `config.original` when there is one, then atomically replaces `path` with `settings`
// (mode kept, a symlink followed; a new file gets 0600, its folder created). A failed backup
// stops before the file is touched.
FileResult save(const std::filesystem::path& path, const std::filesystem::path& backup,
                const AgentConfig& config, const nlohmann::ordered_json& settings);

} // namespace AgentConfigFile
} // namespace velquist
