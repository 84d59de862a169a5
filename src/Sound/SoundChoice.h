#pragma once

#include "Core/SoundEvent.h"

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velquist {

// The sound chosen for one event: one of ours, one of the desktop's sound theme, or none.
struct SoundChoice
{
    struct BuiltIn
    {
        std::string name;
        bool operator==(const BuiltIn&) const = default;
    };
    struct System
    {
        std::string name;
        bool operator==(const System&) const = default;
    };
    struct Off
    {
        bool operator==(const Off&) const = default;
    };

    std::variant<BuiltIn, System, Off> value = Off{};

    static SoundChoice builtIn(std::string name) { return {BuiltIn{std::move(name)}}; }
    static SoundChoice system(std::string name) { return {System{std::move(name)}}; }
    static SoundChoice off() { return {Off{}}; }
    // What an event plays when the user chose nothing for it.
    static SoundChoice defaultFor(SoundEvent event);

    bool operator==(const SoundChoice&) const = default;

    // {"builtIn":{"_0":"ask"}}, {"system":{"_0":"bell"}}, {"off":{}}.
    nlohmann::json toJson() const;
    // None for any other shape: no member or several, an unknown case, a name that is no string.
    static std::optional<SoundChoice> fromJson(const nlohmann::json& json);
};

// The sounds a user can pick from.
namespace SoundCatalog {

// Built-in names offered for choice, in order ("welcome" exists but is not offered).
const std::vector<std::string>& builtIn();
// Every built-in sound that exists, offered or not.
bool isBuiltInSound(std::string_view name);
// Where the desktop's sound theme keeps its sounds.
std::filesystem::path systemFolder();
// The theme's sound names: its ".oga" files (exact case) without the extension, sorted; empty when
// the folder cannot be listed.
std::vector<std::string> system(const std::filesystem::path& folder = systemFolder());
// Of the theme's `names`, those a user would pick for an event (alerts, messages, bells; not the
// device and speaker-test sounds a theme also holds), with every name in `kept` that the theme has.
std::vector<std::string> eventSounds(const std::vector<std::string>& names,
                                     const std::vector<std::string>& kept = {});
// Whether `choice` names a sound of the catalog; an off choice always does. Names are never paths.
bool contains(const SoundChoice& choice, const std::vector<std::string>& systemNames);

} // namespace SoundCatalog

} // namespace velquist
