#pragma once

#include <QUuid>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

// A rule that hides sessions by their working directory or first prompt.
struct SilenceRule
{
    enum class Field { directory, prompt };
    enum class Match { contains, prefix };

    QUuid id;
    Field field = Field::directory;
    Match match = Match::contains;
    // Kept exactly as entered; trimming happens only when matching.
    std::string pattern;
    bool isEnabled = true;
    // Set only on the built-in presets.
    std::optional<std::string> presetName;
    std::optional<std::string> presetDetail;

    bool isPreset() const { return presetName.has_value(); }
    bool operator==(const SilenceRule&) const = default;

    // The built-in presets, built once per process, each disabled.
    static const std::vector<SilenceRule>& presets();

    // Trims spaces and tabs, expands a leading "~" to `home` (unless it is empty), and drops
    // trailing "/" (a lone "/" stays).
    static std::string normalizePath(const std::string& path, const std::filesystem::path& home);
    static bool matchesPath(const std::string& path, const std::string& pattern, Match match,
                            const std::filesystem::path& home);
    static bool matchesText(const std::optional<std::string>& text, const std::string& pattern, Match match);
    // This rule's test of a session's working directory and first prompt, "~" standing for
    // `home`; a disabled rule matches nothing.
    bool matches(const std::string& cwd, const std::optional<std::string>& firstPrompt,
                 const std::filesystem::path& home) const;

    nlohmann::json toJson() const;
    // None when a required key is missing, has the wrong type, or names an unknown case.
    static std::optional<SilenceRule> fromJson(const nlohmann::json& object);
};

} // namespace velquist
