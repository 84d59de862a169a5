#pragma once

#include "Platform/Clock.h"

namespace velquist {

class SystemClock final : public Clock
{
  public:
    WallTime now() const override { return std::chrono::system_clock::now(); }
    Monotonic monotonic() const override { return std::chrono::steady_clock::now(); }
};

} // namespace velquist
