#pragma once

#include "Platform/AppRegistry.h"

#include <map>
#include <mutex>
#include <vector>

namespace velquist::test {

// Answers with the applications the test added and notes every pid it was asked about.
class RecordingAppRegistry final : public AppRegistry
{
  public:
    void add(RunningApp app)
    {
        std::lock_guard lock(m_mutex);
        m_apps[app.pid] = std::move(app);
    }
    void setCanSeeWindows(bool value) { m_canSeeWindows = value; }

    std::optional<RunningApp> application(pid_t pid) const override
    {
        std::lock_guard lock(m_mutex);
        m_asked.push_back(pid);
        const auto found = m_apps.find(pid);
        return found == m_apps.end() ? std::nullopt : std::optional(found->second);
    }
    bool canSeeWindows() const override { return m_canSeeWindows; }

    std::vector<pid_t> asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

  private:
    mutable std::mutex m_mutex;
    std::map<pid_t, RunningApp> m_apps;
    mutable std::vector<pid_t> m_asked;
    bool m_canSeeWindows = true;
};

} // namespace velquist::test
