#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace velquist {

// The fields of /proc/<pid>/stat that we use.
struct ProcStat
{
    pid_t parent = 0;
    // The controlling terminal's device number, 0 when there is none.
    std::int64_t ttyNr = 0;
};

namespace ProcessTree {

// The ancestors of `pid`, nearest first, at most `limit` of them; `pid` itself is not included.
// Stops at a process that no longer exists or whose parent is 0 or 1.
std::vector<pid_t> ancestors(pid_t pid, int limit);

// /proc/<pid>/stat of a live process. The command name may hold spaces and ")", so the fields are
// read after the last ")".
std::optional<ProcStat> stat(pid_t pid);

// Parses the text of a stat file; exposed for tests.
std::optional<ProcStat> parseStat(std::string_view text);

// The name under /dev of a terminal device number: "pts/3", "tty2"; empty when unknown or 0.
std::string ttyName(std::int64_t ttyNr);

// The arguments of a live process, its program name first; empty when they cannot be read (a
// kernel thread, a zombie, a process that is gone).
std::vector<std::string> commandLine(pid_t pid);

// Whether these arguments are a command shell (sh, dash, bash, zsh, fish, ...) running a command
// given with `-c`. Such a shell may fork the command rather than replace itself, and lives no
// longer than the command: it is never the process a session belongs to.
bool runsShellCommand(const std::vector<std::string>& arguments);

// Whether a process with this id exists (kill with signal 0; a permission refusal still means it
// exists). Ids below 2 never count as alive.
bool isAlive(pid_t pid);

} // namespace ProcessTree
} // namespace velquist
