#include "support/AgentOnTerminal.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

AgentOnTerminal::AgentOnTerminal(const std::string& name, const std::filesystem::path& cwd)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return;
    const std::string slave = ::ptsname(m_master);
    m_tty = slave.substr(std::string("/dev/").size());
    const std::string folder = cwd.string();
    const char* const argv[] = {name.c_str(), "600", nullptr};
    m_pid = ::fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::setsid();
        // The first terminal a session leader opens becomes its controlling terminal.
        const int fd = ::open(slave.c_str(), O_RDWR);
        if (fd < 0 || ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv("/bin/sleep", const_cast<char* const*>(argv));
        ::_exit(127);
    }
}

AgentOnTerminal::~AgentOnTerminal()
{
    end();
    if (m_master >= 0)
        ::close(m_master);
}

void AgentOnTerminal::end()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace velquist::test
