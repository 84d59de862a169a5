#pragma once

#include "Characters/CharacterManifest.h"
#include "Characters/CharacterMood.h"

#include <filesystem>
#include <string>

namespace velquist {

// One character pack: its folder, named by its id, and its manifest.
struct NotchCharacter
{
    std::string id; // the pack folder's name
    CharacterManifest manifest;
    std::filesystem::path directory;
    bool operator==(const NotchCharacter&) const = default;

    // The mood's own animation, else the resting one, else none (never for a loaded pack).
    const MoodAnimation* animation(CharacterMood mood) const;
};

} // namespace velquist
