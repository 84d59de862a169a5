#include "Platform/Linux/LinuxProcessRunner.h"

#include "Platform/Linux/LinuxRunningProcess.h"
#include "Shared/Log.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velquist {

namespace {

using Clock = std::chrono::steady_clock;

class FileDescriptor
{
  public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd;
};

// Owns the spawn attributes and file actions so every exit path frees them.
struct SpawnSetup
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// Reads what is available, at most `rounds` buffers so that a child writing without pause cannot
// keep us from the deadline; false at end of stream or on an error.
bool readInto(int fd, ProcessResult& result, std::size_t limit, int rounds)
{
    char buffer[8192];
    while (rounds-- > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            const auto count = static_cast<std::size_t>(n);
            const std::size_t room = limit > result.output.size() ? limit - result.output.size() : 0;
            result.output.append(buffer, std::min(count, room));
            if (count > room)
                result.truncated = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && errno == EAGAIN;
    }
    return true;
}

void decodeWaitStatus(int status, ProcessResult& result)
{
    if (WIFEXITED(status)) {
        result.status = ProcessResult::Status::exited;
        result.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.status = ProcessResult::Status::signalled;
        result.code = WTERMSIG(status);
    }
}

// The environment of a child: ours, with `overrides` set on top.
std::vector<std::string> childEnvironment(const EnvironmentOverrides& overrides)
{
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                          [name](const auto& variable) { return variable.first == name; });
        if (!replaced)
            entries.emplace_back(text);
    }
    for (const auto& [name, value] : overrides)
        entries.push_back(name + "=" + value);
    return entries;
}

} // namespace

// Starts the child with standard input from `input` (the null device when -1), standard output to
// `output` and standard error to the null device. The child's pid, or 0.
pid_t LinuxProcessRunner::spawn(const ProcessRequest& request, int input, int output,
                                const EnvironmentOverrides& overrides)
{
    SpawnSetup setup;
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&setup.actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, output, STDOUT_FILENO);
    // Descriptors Qt or a library opened without close-on-exec must not leak into the child.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

    // A group of its own, so a time-out reaches the child's children too. Ignored signals stay
    // ignored across exec, and we ignore SIGPIPE: give the child the ordinary dispositions and an
    // empty mask, whatever thread we are on.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);

    std::vector<char*> argv;
    argv.reserve(request.arguments.size() + 2);
    argv.push_back(const_cast<char*>(request.executable.c_str()));
    for (const auto& argument : request.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    std::vector<char*> envp;
    char** environment = environ;
    if (!overrides.empty()) {
        variables = childEnvironment(overrides);
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        environment = envp.data();
    }

    pid_t pid = 0;
    const bool searchPath = request.executable.find('/') == std::string::npos;
    const int spawnError =
        searchPath
            ? ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environment)
            : ::posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environment);
    if (spawnError != 0) {
        Log::debug("process", request.executable + " did not start: " + std::strerror(spawnError));
        return 0;
    }
    return pid;
}

std::unique_ptr<RunningProcess> LinuxProcessRunner::start(const ProcessRequest& request,
                                                          const EnvironmentOverrides& environment)
{
    if (request.executable.empty())
        return nullptr;
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        return nullptr;
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return nullptr;
    }
    const pid_t pid = spawn(request, input[0], output[1], environment);
    ::close(input[0]);
    ::close(output[1]);
    if (pid <= 0) {
        ::close(input[1]);
        ::close(output[0]);
        return nullptr;
    }
    return std::make_unique<LinuxRunningProcess>(pid, input[1], output[0]);
}

ProcessResult LinuxProcessRunner::run(const ProcessRequest& request)
{
    ProcessResult result;
    if (request.executable.empty())
        return result;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    FileDescriptor readEnd(pipeFds[0]);
    FileDescriptor writeEnd(pipeFds[1]);
    // Only our end: a child handed a non-blocking pipe fails its writes once the pipe is full.
    ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);

    const pid_t pid = spawn(request, -1, writeEnd.get());
    writeEnd.reset();
    if (pid <= 0)
        return result;

    // A pidfd lets one poll wait for output and exit together; without one (old kernels) we poll
    // the exit in short steps.
    FileDescriptor exitFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = Clock::now() + request.timeout;
    bool outputOpen = true;
    int waitStatus = 0;
    bool exited = false;
    while (!exited) {
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0)
            break;
        pollfd fds[2];
        nfds_t count = 0;
        if (outputOpen)
            fds[count++] = {readEnd.get(), POLLIN, 0};
        if (exitFd.get() >= 0)
            fds[count++] = {exitFd.get(), POLLIN, 0};
        const long long step = exitFd.get() >= 0 ? remaining : std::min<long long>(remaining, 10);
        if (::poll(fds, count, static_cast<int>(std::min<long long>(step, 60'000))) < 0 && errno != EINTR)
            break;
        if (outputOpen)
            outputOpen = readInto(readEnd.get(), result, request.outputLimit, 16);
        const pid_t waited = ::waitpid(pid, &waitStatus, WNOHANG);
        if (waited == pid) {
            exited = true;
        } else if (waited < 0 && errno == ECHILD) {
            // Someone set SIGCHLD to be ignored and the kernel reaped it: the status is lost.
            result.status = ProcessResult::Status::exited;
            result.code = -1;
            return result;
        }
    }

    if (!exited) {
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        result.status = ProcessResult::Status::timedOut;
        result.code = -1;
        Log::debug("process", request.executable + " timed out");
        return result;
    }
    // What the child wrote before it exited is in the pipe already. A background process it left
    // behind may still hold the pipe open; we do not wait for that one.
    // A pipe holds at most 1 MiB, so 256 rounds empty it.
    if (outputOpen)
        readInto(readEnd.get(), result, request.outputLimit, 256);
    decodeWaitStatus(waitStatus, result);
    return result;
}

} // namespace velquist
