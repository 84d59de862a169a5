#pragma once

#include <chrono>

namespace velquist {

// The source of time. Production reads the system clocks; tests advance a manual clock.
class Clock
{
  public:
    using WallTime = std::chrono::system_clock::time_point;
    using Monotonic = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    // Calendar time, for what is stored or shown (session dates).
    virtual WallTime now() const = 0;
    // A clock that never jumps, for measuring intervals (debounces, repeat filters).
    virtual Monotonic monotonic() const = 0;
};

} // namespace velquist
