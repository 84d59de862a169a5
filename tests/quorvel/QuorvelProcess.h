#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velquist::test {

// How to start the hook client.
struct QuorvelLaunch
{
    std::vector<std::string> arguments;   // after the program path
    std::string input;                    // standard input, written whole and then closed
    std::vector<std::string> environment; // "KEY=value"; nothing is inherited
    bool closeOutputEarly = false;        // the agent stops reading before the client answers
};

struct QuorvelResult
{
    std::string output;
    std::string errors;
    int exitStatus = -1; // -1 unless the client exited normally
    int signal = 0;      // the signal that ended it, if one did
    bool finished = false;
};

// The real quorvel binary started as an agent starts it: pipes for its standard streams and an
// environment of the test's choosing.
class QuorvelProcess
{
  public:
    explicit QuorvelProcess(const QuorvelLaunch& launch);
    ~QuorvelProcess();
    QuorvelProcess(const QuorvelProcess&) = delete;
    QuorvelProcess& operator=(const QuorvelProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // Collects the output until the client exits; a client still running after `limit` is killed
    // and reported unfinished.
    QuorvelResult finish(std::chrono::seconds limit = std::chrono::seconds(60));

  private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_errors = -1;
};

// Runs the client to its end.
QuorvelResult runQuorvel(const QuorvelLaunch& launch);

// The environment of a client whose HOME is `home`, plus `extra` entries.
std::vector<std::string> clientEnvironment(const std::string& home, std::vector<std::string> extra = {});

// Collects a process's standard output and error until both close; used for chains of processes
// whose last member is the client.
QuorvelResult collectOutput(int outputFd, int errorFd, std::chrono::seconds limit);

} // namespace velquist::test
