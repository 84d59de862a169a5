#pragma once

#include <QProcess>
#include <filesystem>
#include <string>

namespace velquist::test {

class XServer;

// The application started on a private X server in a throw-away home; asked to end, and killed if
// it does not, when this goes.
class AppOnX
{
  public:
    AppOnX(const std::filesystem::path& program, const XServer& x, const std::filesystem::path& home);
    ~AppOnX();
    AppOnX(const AppOnX&) = delete;
    AppOnX& operator=(const AppOnX&) = delete;

    QProcess& process() { return m_process; }
    // Everything it has written to its error output so far.
    const std::string& errors();

  private:
    QProcess m_process;
    std::string m_errors;
};

} // namespace velquist::test
