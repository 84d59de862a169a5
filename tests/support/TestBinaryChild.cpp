#include "support/TestBinaryChild.h"

#include "support/WaitUntil.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

TestBinaryChild::TestBinaryChild(const std::string& display, const std::string& filter, const char* key,
                                 const std::string& control)
{
    const std::string filterArgument = "--gtest_filter=" + filter;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv(key, control.c_str(), 1);
        // The real X platform loads the desktop bus library, which keeps an allocation until exit;
        // the leak checker would count it against the child.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        ::execl("/proc/self/exe", program_invocation_short_name, filterArgument.c_str(), nullptr);
        ::_exit(127);
    }
}

TestBinaryChild::~TestBinaryChild()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool TestBinaryChild::finish()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (!pollUntil([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; })) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace velquist::test
