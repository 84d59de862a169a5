#pragma once

#include "Characters/NotchCharacter.h"

#include <string>
#include <string_view>
#include <vector>

namespace velquist {

class UserDefaults;

// The user's choice of character, stored under "selectedCharacterId": a pack id, "none" (no
// character), "usage" (the usage ring instead) or empty (never chosen).
namespace CharacterSettings {

inline constexpr const char* kSelectedCharacterKey = "selectedCharacterId";
inline constexpr const char* kNone = "none";
inline constexpr const char* kUsage = "usage";

// The stored choice; empty when unset or stored as another type.
std::string selectedId(const UserDefaults& defaults);

// The pack a choice shows: none for "none" and "usage"; the chosen pack when it exists; else the
// default pack, else the first one. An empty choice and a choice whose pack is gone fall back
// alike.
const NotchCharacter* resolve(std::string_view id, const std::vector<NotchCharacter>& characters);

// What a picker shows as chosen, so it agrees with the bar: "none" and "usage" as they are, else
// the id of the pack the bar shows, or "none" when there is no pack at all.
std::string effectiveChoice(std::string_view id, const std::vector<NotchCharacter>& characters);

} // namespace CharacterSettings
} // namespace velquist
