#pragma once

#include "Platform/ProcessRunner.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace velquist {

class CommandLookup;

// The terminal environment variables the hook client relayed for a session.
using TerminalEnvironment = std::map<std::string, std::string>;

// The `tmux` tool, pointed at the server a session runs under. Every command has a time-out, so a
// hung server costs its caller at most that long. Its commands block: call them from a worker.
class Tmux
{
  public:
    static constexpr std::chrono::milliseconds commandTimeout{2000};

    Tmux(ProcessRunner& runner, CommandLookup& lookup);

    // The session's pane ("TMUX_PANE"), none when missing or empty.
    static std::optional<std::string> pane(const TerminalEnvironment& env);
    // The server's socket from a "TMUX" value ("<socket>,<server pid>,<session index>"); none when
    // the first field is empty.
    static std::optional<std::string> socketPath(std::string_view tmuxVariable);

    // The tmux executable, found once: at the usual install paths, else on the login shell's PATH.
    std::optional<std::string> executable();
    // Runs `tmux [-S socket] arguments...` against the session's server.
    ProcessResult run(const std::string& executable, const TerminalEnvironment& env,
                      std::vector<std::string> arguments);
    // A client attached to the session's server, and the pane it shows: the active pane of its
    // session's active window.
    struct Client
    {
        pid_t pid = 0;
        std::string pane;
    };
    // The clients attached to the session's server, the best first: those showing the pane's own
    // session before the others, the most recently active first.
    std::vector<Client> clients(const TerminalEnvironment& env);

  private:
    ProcessRunner& m_runner;
    CommandLookup& m_lookup;
};

} // namespace velquist
