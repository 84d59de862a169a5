#pragma once

#include "Platform/Clock.h"

#include <chrono>
#include <optional>
#include <set>
#include <string>

namespace velquist {

// Turns a stream of glance matches into the moment one session has been looked at long enough:
// the same session matched at two observations `dwell` apart, with nothing else matched between.
// Each session is reported once per dwell state.
class GlanceDwell
{
  public:
    explicit GlanceDwell(std::chrono::milliseconds dwell) : m_dwell(dwell) {}

    // The session to mark read now, if any.
    std::optional<std::string> observe(const std::optional<std::string>& match, Clock::Monotonic now);

  private:
    struct Pending
    {
        std::string id;
        Clock::Monotonic since;
    };

    std::chrono::milliseconds m_dwell;
    std::optional<Pending> m_pending;
    std::set<std::string> m_fired;
};

} // namespace velquist
