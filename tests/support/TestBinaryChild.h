#pragma once

#include <string>
#include <sys/types.h>

namespace velquist::test {

// This test binary run again in a child process, on Qt's X platform on `display`, for the tests
// `filter` names only: the side of an X test that must be another client of the server. The child
// finds `control` (a file the test creates to tell it what to do) in its environment under `key`.
// Killed, if it still runs, when this goes.
class TestBinaryChild
{
  public:
    TestBinaryChild(const std::string& display, const std::string& filter, const char* key,
                    const std::string& control);
    ~TestBinaryChild();
    TestBinaryChild(const TestBinaryChild&) = delete;
    TestBinaryChild& operator=(const TestBinaryChild&) = delete;

    pid_t pid() const { return m_pid; }
    // Waits for the child to end (killing it when it takes too long) and tells whether it ended
    // by itself with status 0, as a passing run does.
    bool finish();

  private:
    pid_t m_pid = -1;
};

} // namespace velquist::test
