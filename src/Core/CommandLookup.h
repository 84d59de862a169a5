#pragma once

#include "Platform/ProcessRunner.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

// Finds command-line tools the way the user's own terminal would: first at well-known paths, then
// with `command -v` on the user's login shell, whose profile sets the PATH a desktop session may
// lack. Found paths are kept for the life of the object; a failed search is tried afresh next time,
// so a tool installed later is found. Thread-safe.
class CommandLookup
{
  public:
    explicit CommandLookup(ProcessRunner& runner, std::string loginShell = defaultShell(),
                           std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The path of the executable `name`: the cached one, else the first of `wellKnownPaths` that is
    // an executable file, else what the login shell reports. May start a login shell, so call it
    // from a worker. `name` must be a plain program name (letters, digits, "._+-").
    std::optional<std::string> find(const std::string& name,
                                    const std::vector<std::string>& wellKnownPaths = {});

    // Forgets the path found for `name`, for a tool that has gone since; the next find() searches.
    void forget(const std::string& name);

    // The last line of a shell's output that is an absolute path; a login profile may print other
    // lines before it. Exposed for tests.
    static std::optional<std::string> pathFromOutput(const std::string& output);

    static std::string defaultShell();

  private:
    ProcessRunner& m_runner;
    const std::string m_shell;
    const std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_found;
};

} // namespace velquist
