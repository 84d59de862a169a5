#pragma once

#include "Platform/ProcessRunner.h"

namespace velquist {

// Children started with posix_spawn in a process group of their own, so that a time-out can kill
// everything they started, not only the first process.
class LinuxProcessRunner final : public ProcessRunner
{
  public:
    ProcessResult run(const ProcessRequest& request) override;
};

} // namespace velquist
