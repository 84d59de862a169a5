#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace velquist {

// A child process spoken to while it runs: its standard input and output stay open, standard
// error goes to the null device. It runs in a process group of its own. Every call blocks, so it
// belongs on a worker; one thread at a time.
class RunningProcess
{
  public:
    enum class ReadStatus { data, endOfOutput, timedOut };

    // Ends the process group as end() does.
    virtual ~RunningProcess() = default;

    // Writes all of `bytes` to the child's standard input; false when the child no longer reads.
    virtual bool write(std::string_view bytes) = 0;
    // Appends to `into` what the child has written, waiting for at least one byte until `deadline`.
    virtual ReadStatus read(std::string& into, std::chrono::steady_clock::time_point deadline) = 0;
    // Sends the whole process group SIGTERM and, when any of it is still there after `grace`,
    // SIGKILL; reaps the child. Later calls do nothing.
    virtual void end(std::chrono::milliseconds grace = std::chrono::seconds(2)) = 0;
};

} // namespace velquist
