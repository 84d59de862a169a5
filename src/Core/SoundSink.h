#pragma once

#include "Core/SoundEvent.h"

namespace velquist {

// Where the attention code, the dispatcher and the introduction send the sounds they want played.
class SoundSink
{
  public:
    virtual ~SoundSink() = default;
    // An event's sound, unless sounds are off or it is quiet time; the caller decides about privacy.
    virtual void play(SoundEvent event) = 0;
    // An interface sound, unless sounds are off, it is quiet time or privacy mode is on.
    virtual void play(InterfaceSound sound) = 0;
};

} // namespace velquist
