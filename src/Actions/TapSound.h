#pragma once

namespace velquist {

// The short sound that confirms a button in the panel was taken. The sound player decides whether
// it is heard (sounds off, quiet hours, privacy).
class TapSound
{
  public:
    virtual ~TapSound() = default;
    // Plays the "tap" interface sound, or nothing; never fails.
    virtual void playTap() = 0;
};

} // namespace velquist
