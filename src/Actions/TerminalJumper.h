#pragma once

namespace velquist {

struct Session;

// Brings a session's terminal application, window and tab to the front.
class TerminalJumper
{
  public:
    virtual ~TerminalJumper() = default;
    // Returns at once; the jump runs from the event loop and reports nothing back.
    virtual void jump(const Session& session) = 0;
};

} // namespace velquist
