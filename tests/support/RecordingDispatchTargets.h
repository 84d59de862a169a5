#pragma once

#include "Actions/IntroAllowHook.h"
#include "Actions/TapSound.h"
#include "Actions/TerminalJumper.h"
#include "Core/Session.h"

#include <string>
#include <vector>

namespace velquist::test {

// Counts the taps it was asked to play.
class RecordingTapSound final : public TapSound
{
  public:
    void playTap() override { ++taps; }
    int taps = 0;
};

// Counts the presses handed to the introduction.
class RecordingIntroAllowHook final : public IntroAllowHook
{
  public:
    void userClickedAllow() override { ++allows; }
    int allows = 0;
};

// Notes the id of every session it was asked to bring to the front.
class RecordingTerminalJumper final : public TerminalJumper
{
  public:
    void jump(const Session& session) override { jumps.push_back(session.id); }
    std::vector<std::string> jumps;
};

} // namespace velquist::test
