#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace velquist::test {

// A real child on a pseudo-terminal of its own (its controlling terminal), running sleep under
// the first argument `name`, so the process table shows an agent of that name in a terminal.
// Ended and reaped when the object goes.
class AgentOnTerminal
{
  public:
    AgentOnTerminal(const std::string& name, const std::filesystem::path& cwd);
    ~AgentOnTerminal();
    AgentOnTerminal(const AgentOnTerminal&) = delete;
    AgentOnTerminal& operator=(const AgentOnTerminal&) = delete;

    // Kills and reaps the child.
    void end();

    // 0 or less when it could not be started.
    pid_t pid() const { return m_pid; }
    // "pts/N".
    const std::string& tty() const { return m_tty; }

  private:
    int m_master = -1;
    pid_t m_pid = -1;
    std::string m_tty;
};

} // namespace velquist::test
