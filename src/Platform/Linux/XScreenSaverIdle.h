#pragma once

#include "Platform/Clock.h"
#include "Platform/Linux/XcbLink.h"
#include "Platform/SystemIdle.h"

#include <QObject>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velquist {

// Idle time from the X server's screen-saver extension. Samples are taken on a worker over a
// connection of their own; a read ages the last sample by the time since it was taken, which is
// exact until the user touches something again and then corrected by the next sample.
class XScreenSaverIdle final : public QObject, public SystemIdle
{
    Q_OBJECT
  public:
    // `display` as in DISPLAY; empty means there is no X server to ask. Takes a first sample.
    XScreenSaverIdle(std::string display, const Clock& clock, QObject* parent = nullptr);
    ~XScreenSaverIdle() override;

    bool canReadIdleTime() const override;
    double seconds() const override;
    void refresh() override;

    // Samples now, on the calling thread (for tests): the idle time in seconds, or none when the
    // server or its extension cannot be asked.
    std::optional<double> sample();

  private:
    static std::optional<double> sample(XcbLink& link);

    const Clock& m_clock;
    const std::shared_ptr<XcbLink> m_link;
    mutable std::mutex m_sampleMutex;
    std::optional<double> m_idle;
    Clock::Monotonic m_sampledAt;
    bool m_inFlight = false;
};

} // namespace velquist
