#pragma once

namespace velquist {

// The first-run introduction's answer to a press on its demonstration session's request.
class IntroAllowHook
{
  public:
    virtual ~IntroAllowHook() = default;
    // Moves the introduction on when it is at its permission step; otherwise does nothing.
    virtual void userClickedAllow() = 0;
};

} // namespace velquist
