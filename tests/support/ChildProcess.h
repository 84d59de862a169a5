#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace velquist::test {

// A program the test starts (argv only, on an X display when one is given) and kills when it goes.
class ChildProcess
{
  public:
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& display = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

  private:
    pid_t m_pid = -1;
};

} // namespace velquist::test
