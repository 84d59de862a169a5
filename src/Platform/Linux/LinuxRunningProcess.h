#pragma once

#include "Platform/RunningProcess.h"

#include <sys/types.h>

namespace velquist {

// A child started by LinuxProcessRunner::start(), leader of its own process group, with the write
// end of its standard input and the read end of its standard output.
class LinuxRunningProcess final : public RunningProcess
{
  public:
    LinuxRunningProcess(pid_t pid, int input, int output);
    ~LinuxRunningProcess() override;
    LinuxRunningProcess(const LinuxRunningProcess&) = delete;
    LinuxRunningProcess& operator=(const LinuxRunningProcess&) = delete;

    bool write(std::string_view bytes) override;
    ReadStatus read(std::string& into, std::chrono::steady_clock::time_point deadline) override;
    void end(std::chrono::milliseconds grace) override;

  private:
    // Collects the leader's exit status when it has exited; true once it has.
    bool reapLeader(bool wait);

    const pid_t m_pid;
    int m_input;
    int m_output;
    bool m_reaped = false;
    bool m_ended = false;
};

} // namespace velquist
