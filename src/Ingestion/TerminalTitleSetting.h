#pragma once

#include "Ingestion/ConfigChange.h"

#include <filesystem>
#include <nlohmann/json.hpp>

namespace velquist::TerminalTitleSetting {

// Claude Code's switch for not setting the terminal's title, under the settings' "env" object.
inline constexpr const char* kVariable = "CLAUDE_CODE_DISABLE_TERMINAL_TITLE";

// How Claude Code reads a flag: true, a non-zero integer, or "1", "true", "yes" in any case.
bool isTruthy(const nlohmann::ordered_json& value);

// Whether the settings file at `path` turns terminal titles off. Every failure reads as false.
bool isDisabled(const std::filesystem::path& path);

// Removes the variable from "env" (and "env" itself when it empties), in one atomic rewrite that
// leaves the installer's backup of the file alone.
// A missing or unreadable file, a non-object or an absent variable change nothing and are no
// error; a file that is not valid JSON is.
ConfigChange enableTitles(const std::filesystem::path& path);

} // namespace velquist::TerminalTitleSetting
