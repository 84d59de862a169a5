#pragma once

#include <QRect>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velquist::test {

// A headless sway for one test, with clients started on it. Sway refuses to run as root, so when
// the test is root the compositor runs as `nobody` in a runtime folder that user owns; the clients
// stay the test's own children either way.
class SwaySession
{
  public:
    SwaySession();
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    // Whether sway answers on its socket; when not, `failure()` says why.
    bool isRunning() const { return m_running; }
    const std::string& failure() const { return m_failure; }
    const std::string& socketPath() const { return m_socket; }

    // Starts a Wayland client of this session (argv only); its pid, or -1.
    pid_t launch(const std::vector<std::string>& argv);
    // The first output's rectangle in the layout.
    std::optional<QRect> outputRect() const;

  private:
    std::filesystem::path m_folder;
    std::string m_socket;
    std::string m_waylandDisplay;
    pid_t m_sway = -1;
    std::vector<pid_t> m_clients;
    bool m_running = false;
    std::string m_failure;
};

} // namespace velquist::test
