#pragma once

#include "Platform/ProcessRunner.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace velquist::test {

// Notes every request, then answers it with the test's responder, or hands it to a real runner,
// or (with neither) reports that the process did not start. Thread-safe, as runAsync calls it
// from a worker.
class RecordingProcessRunner final : public ProcessRunner
{
  public:
    using Responder = std::function<ProcessResult(const ProcessRequest&)>;

    RecordingProcessRunner() = default;
    explicit RecordingProcessRunner(ProcessRunner& forwardTo) : m_forward(&forwardTo) {}

    void respond(Responder responder)
    {
        std::lock_guard lock(m_mutex);
        m_responder = std::move(responder);
    }

    ProcessResult run(const ProcessRequest& request) override
    {
        Responder responder;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            responder = m_responder;
        }
        if (responder)
            return responder(request);
        if (m_forward)
            return m_forward->run(request);
        return {};
    }

    std::vector<ProcessRequest> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // Each request as one line: the executable and its arguments.
    std::vector<std::vector<std::string>> commandLines() const
    {
        std::vector<std::vector<std::string>> lines;
        for (const auto& request : requests()) {
            lines.push_back({request.executable});
            lines.back().insert(lines.back().end(), request.arguments.begin(), request.arguments.end());
        }
        return lines;
    }

    // A result that exited with `code` and printed `output`.
    // A tmux server whose pane shows the session `sessionID` and whose attached clients are
    // `clients`, as "list-clients" prints them; any other command fails.
    static Responder tmuxServer(std::string sessionID, std::string clients)
    {
        return [sessionID, clients](const ProcessRequest& request) {
            const auto& args = request.arguments;
            const auto has = [&](const char* word) {
                return std::find(args.begin(), args.end(), word) != args.end();
            };
            if (has("display-message"))
                return exited(0, sessionID + "\n");
            if (has("list-clients"))
                return exited(0, clients);
            return exited(1);
        };
    }

    static ProcessResult exited(int code, std::string output = {})
    {
        ProcessResult result;
        result.status = ProcessResult::Status::exited;
        result.code = code;
        result.output = std::move(output);
        return result;
    }

  private:
    mutable std::mutex m_mutex;
    ProcessRunner* m_forward = nullptr;
    Responder m_responder;
    std::vector<ProcessRequest> m_requests;
};

} // namespace velquist::test
