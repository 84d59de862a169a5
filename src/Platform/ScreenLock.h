#pragma once

namespace velquist {

// Whether the screen is locked, followed from the session's signals so that reads never wait.
class ScreenLock
{
  public:
    virtual ~ScreenLock() = default;
    // Whether a lock can be noticed at all.
    virtual bool canDetectLock() const = 0;
    // The last known state; false (unlocked) when unknown.
    virtual bool isScreenLocked() const = 0;
};

// For where the lock cannot be seen: never locked.
class NoScreenLock final : public ScreenLock
{
  public:
    bool canDetectLock() const override { return false; }
    bool isScreenLocked() const override { return false; }
};

} // namespace velquist
