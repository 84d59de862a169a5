#include "quorvel/QuorvelProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

namespace {

void writeAllTo(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::vector<std::string> clientEnvironment(const std::string& home, std::vector<std::string> extra)
{
    extra.push_back("HOME=" + home);
    extra.push_back("PATH=/usr/bin:/bin");
    return extra;
}

QuorvelProcess::QuorvelProcess(const QuorvelLaunch& launch)
{
    int input[2], output[2], errors[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> argumentText{VELQUIST_QUORVEL_PATH};
    argumentText.insert(argumentText.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv, envp;
    for (auto& argument : argumentText)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = launch.environment;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    // Agents start hooks with default signal handling; the test process ignores SIGPIPE.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int failed = ::posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    ::close(errors[1]);
    if (failed != 0)
        throw std::runtime_error("cannot start quorvel");
    if (launch.closeOutputEarly) {
        ::close(output[0]);
        output[0] = -1;
    }
    writeAllTo(input[1], launch.input);
    ::close(input[1]);
    m_output = output[0];
    m_errors = errors[0];
}

QuorvelProcess::~QuorvelProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_output >= 0)
        ::close(m_output);
    if (m_errors >= 0)
        ::close(m_errors);
}

QuorvelResult collectOutput(int outputFd, int errorFd, std::chrono::seconds limit)
{
    QuorvelResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int open[2] = {outputFd, errorFd};
    std::string* sinks[2] = {&result.output, &result.errors};
    while (open[0] >= 0 || open[1] >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return result;
        pollfd entries[2] = {{open[0], POLLIN, 0}, {open[1], POLLIN, 0}};
        if (::poll(entries, 2, static_cast<int>(left.count())) < 0 && errno != EINTR)
            return result;
        for (int i = 0; i < 2; ++i) {
            if (open[i] < 0 || !(entries[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[65536];
            const ssize_t n = ::read(open[i], buffer, sizeof buffer);
            if (n > 0)
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                open[i] = -1;
        }
    }
    result.finished = true;
    return result;
}

QuorvelResult QuorvelProcess::finish(std::chrono::seconds limit)
{
    QuorvelResult result = collectOutput(m_output, m_errors, limit);
    if (!result.finished)
        ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.finished = result.finished && WIFEXITED(status);
    return result;
}

QuorvelResult runQuorvel(const QuorvelLaunch& launch)
{
    QuorvelProcess process(launch);
    return process.finish();
}

} // namespace velquist::test
