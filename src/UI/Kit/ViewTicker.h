#pragma once

#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace velquist {

// The shared clocks of time-driven drawing: one timer per period for every view on screen (springs
// on the frame clock, spinners and breathing accents on the step clock, the elapsed pills on the
// wall-clock minute). A view
// subscribes while it is shown and drops its subscription when hidden, so a collapsed or hidden
// panel costs no timer at all, and a period's timer stops with its last subscriber.
class ViewTicker
{
  public:
    enum class Period {
        frame,  // every display frame, for motion the eye follows
        step,   // 20 times a second, for a spinner's steps and a slow breath
        minute, // on each wall-clock minute
    };
    static constexpr std::chrono::milliseconds kFrameInterval{16};
    // A spinner turns in 50 ms steps, and a 2.6 s breath moves its light by about 1 % between
    // steps: more updates would redraw pictures that look the same.
    static constexpr std::chrono::milliseconds kStepInterval{50};

    // Unsubscribes when destroyed or reset; safe to outlive the ticker.
    class Subscription
    {
      public:
        Subscription() = default;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        Subscription(Subscription&& other) noexcept { *this = std::move(other); }
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription() { reset(); }

        void reset();
        bool isActive() const { return !m_owner.expired() && m_id != 0; }

      private:
        friend class ViewTicker;
        struct State;
        Subscription(std::weak_ptr<State> owner, Period period, std::uint64_t id)
            : m_owner(std::move(owner)), m_period(period), m_id(id)
        {
        }
        std::weak_ptr<State> m_owner;
        Period m_period = Period::frame;
        std::uint64_t m_id = 0;
    };

    ViewTicker(Scheduler& scheduler, const Clock& clock);
    ~ViewTicker();
    ViewTicker(const ViewTicker&) = delete;
    ViewTicker& operator=(const ViewTicker&) = delete;

    const Clock& clock() const;

    // Calls `onTick` on every tick of `period` until the subscription ends.
    [[nodiscard]] Subscription subscribe(Period period, std::function<void()> onTick);

    // Whether the period's timer runs (it does exactly while it has subscribers).
    bool isRunning(Period period) const;

  private:
    std::shared_ptr<Subscription::State> m_state;
};

} // namespace velquist
