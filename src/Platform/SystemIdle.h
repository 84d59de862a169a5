#pragma once

namespace velquist {

// How long the user has not touched keyboard or pointer. Reads never wait on the display server:
// they answer from the last sample, aged by the time since it was taken.
class SystemIdle
{
  public:
    virtual ~SystemIdle() = default;
    // Whether idle time can be read at all.
    virtual bool canReadIdleTime() const = 0;
    // Seconds without input, as far as known; 0 (present) when it cannot be read.
    virtual double seconds() const = 0;
    // Takes a fresh sample off the main thread; later reads see it.
    virtual void refresh() = 0;
};

// For where idle time cannot be read: the user always counts as present.
class NoSystemIdle final : public SystemIdle
{
  public:
    bool canReadIdleTime() const override { return false; }
    double seconds() const override { return 0; }
    void refresh() override {}
};

} // namespace velquist
