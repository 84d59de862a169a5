#pragma once

#include "Core/Clock.h"
#include "Platform/SystemIdle.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct xcb_connection_t;

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
    // Shared with a worker still sampling when the probe goes away.
    struct Connection
    {
        explicit Connection(std::string display) : display(std::move(display)) {}
        ~Connection();
        std::optional<double> sample();

        const std::string display;
        std::mutex mutex;
        xcb_connection_t* connection = nullptr;
        std::atomic<bool> failed{false};
    };

    const Clock& m_clock;
    const std::shared_ptr<Connection> m_connection;
    mutable std::mutex m_sampleMutex;
    std::optional<double> m_idle;
    Clock::Monotonic m_sampledAt;
    bool m_inFlight = false;
};

} // namespace velquist
