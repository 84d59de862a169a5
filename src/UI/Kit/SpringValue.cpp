#include "UI/Kit/SpringValue.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velquist {

namespace {

// Closer than this to the target the spring is taken to have settled (a thousandth of a step
// from 0 to 1 is far below a pixel or a colour level).
constexpr double kSettled = 0.001;

} // namespace

SpringValue::SpringValue(ViewTicker& ticker, double response, std::function<void(double)> onChange,
                         double initial)
    : m_ticker(ticker), m_response(response), m_onChange(std::move(onChange)), m_value(initial),
      m_target(initial)
{
}

double SpringValue::progress(double seconds, double response)
{
    const double omega = 2 * std::numbers::pi / response;
    const double t = std::max(seconds, 0.0);
    return 1 - (1 + omega * t) * std::exp(-omega * t);
}

double SpringValue::settledProgress(double seconds, double response)
{
    const double moved = progress(seconds, response);
    return 1 - moved < kSettled ? 1 : moved;
}

void SpringValue::setTarget(double target, bool animated)
{
    if (!animated) {
        m_subscription.reset();
        m_target = target;
        set(target);
        return;
    }
    if (target == m_target && (isMoving() || m_value == target))
        return;
    m_target = target;
    m_from = m_value;
    m_start = m_ticker.clock().monotonic();
    if (!isMoving())
        m_subscription = m_ticker.subscribe(ViewTicker::Period::frame, [this] { step(); });
}

void SpringValue::step()
{
    const double seconds = std::chrono::duration<double>(m_ticker.clock().monotonic() - m_start).count();
    const double moved = settledProgress(seconds, m_response);
    if (moved == 1) {
        m_subscription.reset();
        set(m_target);
        return;
    }
    set(m_from + (m_target - m_from) * moved);
}

void SpringValue::set(double value)
{
    if (value == m_value)
        return;
    m_value = value;
    if (m_onChange)
        m_onChange(value);
}

} // namespace velquist
