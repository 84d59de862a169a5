#pragma once

#include "Terminal/Tmux.h"

#include <functional>

class QObject;

namespace velquist {

struct Session;

// Selects the tmux pane a session runs in, after its terminal has been brought to the front.
// Long-lived like its `Tmux`: a run on a worker uses both until it ends.
class MultiplexerFocus
{
  public:
    explicit MultiplexerFocus(Tmux& tmux);

    // Switches the attached client to the pane's session, then selects its window and the pane
    // itself; each command is tried whatever the others did. True when at least one succeeded.
    // Without "TMUX_PANE" nothing runs. Blocks on tmux: call it from a worker.
    bool focusTmuxPane(const TerminalEnvironment& env);
    // The same on a worker; `done` runs on the calling thread unless `context` has gone.
    void focusTmuxPane(const TerminalEnvironment& env, QObject* context, std::function<void(bool)> done);
    // The pane of the session's terminal environment.
    bool focusTmuxPane(const Session& session);
    void focusTmuxPane(const Session& session, QObject* context, std::function<void(bool)> done);

  private:
    Tmux& m_tmux;
};

} // namespace velquist
