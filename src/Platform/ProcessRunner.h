#pragma once

#include "Platform/RunningProcess.h"
#include "Platform/WorkerTask.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velquist {

// One child process: a program and its arguments, handed to it as they are. There is no shell
// line, so nothing in the arguments is ever interpreted.
struct ProcessRequest
{
    // An absolute path, or a bare name looked up on PATH.
    std::string executable;
    std::vector<std::string> arguments;
    // After this long the child's whole process group is killed.
    std::chrono::milliseconds timeout{5000};
    // Standard output past this many bytes is read and dropped, so the child never blocks on it.
    std::size_t outputLimit = 1 << 20;
};

// Variables set in a child's environment on top of ours.
using EnvironmentOverrides = std::vector<std::pair<std::string, std::string>>;

struct ProcessResult
{
    enum class Status { exited, signalled, timedOut, failedToStart };

    Status status = Status::failedToStart;
    // The exit status when exited, the signal when signalled, else -1.
    int code = -1;
    // Standard output as far as it was read (also after a time-out).
    std::string output;
    bool truncated = false;

    bool succeeded() const { return status == Status::exited && code == 0; }
};

// Runs child processes with standard input and error on the null device, standard output read to
// its end, and a time-out.
class ProcessRunner
{
  public:
    using Completion = std::function<void(ProcessResult)>;

    virtual ~ProcessRunner() = default;

    // Runs `request` to its end on the calling thread; for callers already on a worker.
    virtual ProcessResult run(const ProcessRequest& request) = 0;

    // Starts `request` as a child that is spoken to while it runs (its time-out and output limit
    // do not apply); none when it cannot be started. Runners that cannot keep a child talking
    // report exactly that.
    virtual std::unique_ptr<RunningProcess> start(const ProcessRequest& /*request*/,
                                                  const EnvironmentOverrides& /*environment*/ = {})
    {
        return nullptr;
    }

    // Runs `request` on a worker; `done` gets the result on the calling thread unless `context`
    // is destroyed first. The runner must outlive the run (runners live as long as the app).
    void runAsync(ProcessRequest request, QObject* context, Completion done)
    {
        runOnWorker<ProcessResult>(
            context, [this, request = std::move(request)] { return run(request); }, std::move(done));
    }
};

} // namespace velquist
