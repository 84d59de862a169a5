#include "Platform/Linux/LinuxRunningProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velquist {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Writing to a child that has gone raises SIGPIPE. The application ignores it, but a library may
// not have, so the signal is held back on this thread for the write and any one it raised is taken.
class SigpipeGuard
{
  public:
    SigpipeGuard()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~SigpipeGuard()
    {
        if (!m_wasPending) {
            const timespec now{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

  private:
    sigset_t m_pipe;
    sigset_t m_previous;
    bool m_wasPending = false;
};

// Whether any process of the group is still there (a zombie leader not yet reaped counts).
bool groupExists(pid_t group)
{
    return ::kill(-group, 0) == 0 || errno == EPERM;
}

} // namespace

LinuxRunningProcess::LinuxRunningProcess(pid_t pid, int input, int output)
    : m_pid(pid), m_input(input), m_output(output)
{
}

LinuxRunningProcess::~LinuxRunningProcess()
{
    end(std::chrono::seconds(2));
}

bool LinuxRunningProcess::write(std::string_view bytes)
{
    if (m_input < 0)
        return false;
    const SigpipeGuard guard;
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_input, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

RunningProcess::ReadStatus LinuxRunningProcess::read(std::string& into, SteadyClock::time_point deadline)
{
    if (m_output < 0)
        return ReadStatus::endOfOutput;
    for (;;) {
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (remaining <= 0)
            return ReadStatus::timedOut;
        pollfd fd{m_output, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min<long long>(remaining, 60'000)));
        if (ready < 0 && errno != EINTR)
            return ReadStatus::endOfOutput;
        if (ready <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::read(m_output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return ReadStatus::endOfOutput;
        into.append(buffer, static_cast<std::size_t>(n));
        return ReadStatus::data;
    }
}

bool LinuxRunningProcess::reapLeader(bool wait)
{
    if (m_reaped)
        return true;
    int status = 0;
    for (;;) {
        const pid_t waited = ::waitpid(m_pid, &status, wait ? 0 : WNOHANG);
        if (waited < 0 && errno == EINTR)
            continue;
        // ECHILD: someone else reaped it (SIGCHLD ignored); it is gone either way.
        m_reaped = waited == m_pid || (waited < 0 && errno == ECHILD);
        return m_reaped;
    }
}

void LinuxRunningProcess::end(std::chrono::milliseconds grace)
{
    if (m_ended)
        return;
    m_ended = true;
    // Closing its input first lets a well-behaved child finish on end of file.
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
    ::kill(-m_pid, SIGTERM);
    const auto deadline = SteadyClock::now() + grace;
    for (;;) {
        reapLeader(false);
        // Reaped and nobody left in the group (a helper it started may ignore SIGTERM).
        if (m_reaped && !groupExists(m_pid))
            break;
        if (SteadyClock::now() >= deadline) {
            ::kill(-m_pid, SIGKILL);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reapLeader(true);
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
}

} // namespace velquist
