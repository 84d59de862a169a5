#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace velquist {

// What the character in the collapsed bar shows. The raw value is also the key of the mood's
// animation in a pack's manifest.
enum class CharacterMood {
    resting,
    active,
    alert,
    celebrating,
};

inline constexpr std::array<CharacterMood, 4> kAllCharacterMoods{
    CharacterMood::resting, CharacterMood::active, CharacterMood::alert, CharacterMood::celebrating};

constexpr std::string_view toString(CharacterMood mood)
{
    switch (mood) {
    case CharacterMood::resting:
        return "resting";
    case CharacterMood::active:
        return "active";
    case CharacterMood::alert:
        return "alert";
    case CharacterMood::celebrating:
        return "celebrating";
    }
    return "resting";
}

// None for a text that names no mood.
constexpr std::optional<CharacterMood> characterMoodFromString(std::string_view text)
{
    for (CharacterMood mood : kAllCharacterMoods) {
        if (toString(mood) == text)
            return mood;
    }
    return std::nullopt;
}

} // namespace velquist
