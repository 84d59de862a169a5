#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace velquist {

// The occasions on which the attention code plays a sound, in the order they are listed.
enum class SoundEvent { permission, question, done, start };

inline constexpr std::array<SoundEvent, 4> allSoundEvents{SoundEvent::permission, SoundEvent::question,
                                                          SoundEvent::done, SoundEvent::start};

constexpr std::string_view toString(SoundEvent event)
{
    switch (event) {
    case SoundEvent::permission:
        return "permission";
    case SoundEvent::question:
        return "question";
    case SoundEvent::done:
        return "done";
    case SoundEvent::start:
        return "start";
    }
    return "permission";
}

std::optional<SoundEvent> soundEventFromString(std::string_view text);

// The two sounds of the interface itself, always the built-in sounds of the same name.
enum class InterfaceSound { tap, welcome };

constexpr std::string_view builtInName(InterfaceSound sound)
{
    return sound == InterfaceSound::tap ? "tap" : "welcome";
}

} // namespace velquist
