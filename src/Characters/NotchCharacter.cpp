#include "Characters/NotchCharacter.h"

namespace velquist {

const MoodAnimation* NotchCharacter::animation(CharacterMood mood) const
{
    if (const auto own = manifest.animations.find(std::string(toString(mood)));
        own != manifest.animations.end())
        return &own->second;
    if (const auto resting = manifest.animations.find("resting"); resting != manifest.animations.end())
        return &resting->second;
    return nullptr;
}

} // namespace velquist
