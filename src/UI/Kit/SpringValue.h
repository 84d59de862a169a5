#pragma once

#include "UI/Kit/ViewTicker.h"

#include <functional>

namespace velquist {

// A value that follows its target on a critically damped spring, stepped by the shared frame
// clock only while it moves. A new target starts from wherever the value is now.
class SpringValue
{
  public:
    // `onChange` runs on every new value.
    SpringValue(ViewTicker& ticker, double response, std::function<void(double)> onChange,
                double initial = 0);

    double value() const { return m_value; }
    double target() const { return m_target; }
    bool isMoving() const { return m_subscription.isActive(); }
    // Heads for `target`; without animation the value is there at once.
    void setTarget(double target, bool animated);

    // Where a spring of `response` seconds started at 0 and headed for 1 is after `seconds`.
    static double progress(double seconds, double response);
    // The same, but 1 once it is close enough to count as settled.
    static double settledProgress(double seconds, double response);

  private:
    void step();
    void set(double value);

    ViewTicker& m_ticker;
    double m_response;
    std::function<void(double)> m_onChange;
    double m_value;
    double m_target;
    double m_from = 0;
    Clock::Monotonic m_start;
    ViewTicker::Subscription m_subscription;
};

} // namespace velquist
