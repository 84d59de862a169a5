#include "Core/SoundEvent.h"

namespace velquist {

std::optional<SoundEvent> soundEventFromString(std::string_view text)
{
    for (const SoundEvent event : allSoundEvents) {
        if (toString(event) == text)
            return event;
    }
    return std::nullopt;
}

} // namespace velquist
