#pragma once

#include "Platform/ProcessRunner.h"

namespace velquist {

// Children started with posix_spawn in a process group of their own, so that a time-out can kill
// everything they started, not only the first process.
class LinuxProcessRunner final : public ProcessRunner
{
  public:
    ProcessResult run(const ProcessRequest& request) override;
    std::unique_ptr<RunningProcess> start(const ProcessRequest& request,
                                          const EnvironmentOverrides& environment = {}) override;

  private:
    static pid_t spawn(const ProcessRequest& request, int input, int output,
                       const EnvironmentOverrides& environment = {});
};

} // namespace velquist
