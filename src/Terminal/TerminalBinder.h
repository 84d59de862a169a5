#pragma once

#include "Platform/AppRegistry.h"
#include "Terminal/Tmux.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace velquist {

// Maps processes to the graphical application that owns the terminal an agent runs in. The one
// place that does so: the jump, the intake's terminal binding and the "terminal in front" checks
// all ask it. Long-lived like its registry and `Tmux`: a run on a worker uses them until it ends.
class TerminalBinder
{
  public:
    struct Candidate
    {
        pid_t pid = 0;
        std::string bundleID;
        std::optional<std::string> name;

        bool operator==(const Candidate&) const = default;
    };

    // How many ancestors of a process are looked at.
    static constexpr int ancestorLimit = 15;

    // `tmux` may be null where no session can be inside tmux (tests, the fallback detector).
    explicit TerminalBinder(const AppRegistry& registry, Tmux* tmux = nullptr);

    const AppRegistry& registry() const { return m_registry; }

    // The first application with an identifier among `ownerPID` and its ancestors, nearest first,
    // whether or not it shows windows. None for a pid that is no 32-bit process id.
    std::optional<RunningApp> resolveApp(std::int64_t ownerPID) const;
    // The first regular application among the given pids, in their order.
    std::optional<Candidate> resolveHostApp(const std::vector<std::int64_t>& ancestorPIDs) const;

    // The terminal showing a session that runs inside tmux: a pane's processes descend from the
    // tmux server, not from any terminal, so the terminal is found from the clients attached to
    // that server ("TMUX"), those showing the pane ("TMUX_PANE") first. None outside tmux or with
    // no client attached. Runs tmux: call it from a worker.
    std::optional<Candidate> resolveTmuxHost(const TerminalEnvironment& env) const;
    // The terminal showing a session inside tmux, as `resolveTmuxHost` finds it, and whether the
    // client it found shows the session's pane now (the active pane of its active window).
    struct TmuxView
    {
        Candidate terminal;
        bool showsPane = false;
    };
    std::optional<TmuxView> resolveTmuxView(const TerminalEnvironment& env) const;
    // The same on a worker; `done` runs on the calling thread unless `context` has gone.
    void resolveTmuxHost(const TerminalEnvironment& env, QObject* context,
                         std::function<void(std::optional<Candidate>)> done) const;

  private:
    const AppRegistry& m_registry;
    Tmux* m_tmux;
};

} // namespace velquist
