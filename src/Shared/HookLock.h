#pragma once

#include "Shared/HomePaths.h"

#include <chrono>

namespace velquist {

// An exclusive hold of "hooks.lock" in the support folder, released when the object goes.
class HookLock
{
  public:
    // Creates the support folder and the lock file (mode 0644) when needed and takes the lock,
    // waiting at most `wait` for another holder; `held()` tells whether it was taken.
    HookLock(const HomePaths& paths, std::chrono::milliseconds wait);
    ~HookLock();
    HookLock(const HookLock&) = delete;
    HookLock& operator=(const HookLock&) = delete;

    bool held() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

} // namespace velquist
