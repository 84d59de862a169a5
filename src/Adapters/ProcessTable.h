#pragma once

#include "Shared/ProcessTree.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace velquist {

// Reads the process table from a /proc tree: the real one, or a folder laid out like it in tests.
// Every read is a few small files, so a walk belongs on a worker. A process that vanished or
// cannot be read gives no answer, never an error.
class ProcessTable
{
  public:
    // Only processes whose /proc folder belongs to `owner` are listed: another user's agent is
    // none of ours, and most of its files cannot be read anyway.
    explicit ProcessTable(std::filesystem::path root = "/proc", uid_t owner = ::geteuid());

    // The ids of the owner's processes, ascending.
    std::vector<pid_t> pids() const;
    // The arguments the process was started with; none when unreadable, empty for a kernel thread.
    std::optional<std::vector<std::string>> commandLine(pid_t pid) const;
    std::optional<ProcStat> stat(pid_t pid) const;
    // The controlling terminal's name ("pts/3"); none without a terminal.
    std::optional<std::string> terminal(pid_t pid) const;
    // The folder the process works in; none when it cannot be read.
    std::optional<std::string> workingDirectory(pid_t pid) const;

  private:
    std::filesystem::path folder(pid_t pid) const;

    std::filesystem::path m_root;
    uid_t m_owner;
};

} // namespace velquist
