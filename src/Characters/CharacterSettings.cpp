#include "Characters/CharacterSettings.h"

#include "Characters/CharacterCatalog.h"
#include "Platform/UserDefaults.h"

namespace velquist::CharacterSettings {

std::string selectedId(const UserDefaults& defaults)
{
    return defaults.stringValue(kSelectedCharacterKey).value_or(std::string());
}

const NotchCharacter* resolve(std::string_view id, const std::vector<NotchCharacter>& characters)
{
    if (id == kNone || id == kUsage)
        return nullptr;
    for (const NotchCharacter& character : characters) {
        if (character.id == id)
            return &character;
    }
    for (const NotchCharacter& character : characters) {
        if (character.id == CharacterCatalog::kDefaultId)
            return &character;
    }
    return characters.empty() ? nullptr : &characters.front();
}

std::string effectiveChoice(std::string_view id, const std::vector<NotchCharacter>& characters)
{
    if (id == kUsage)
        return kUsage;
    const NotchCharacter* shown = resolve(id, characters);
    return shown ? shown->id : kNone;
}

} // namespace velquist::CharacterSettings
