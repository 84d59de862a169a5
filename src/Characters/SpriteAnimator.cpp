#include "Characters/SpriteAnimator.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velquist::SpriteAnimator {
namespace {

bool plays(const Step& step)
{
    return step.frames >= 1 && step.fps > 0 && std::isfinite(step.fps);
}

double duration(const Step& step)
{
    if (!plays(step))
        return 0;
    return static_cast<double>(step.frames) / step.fps *
           static_cast<double>(std::max<std::int64_t>(step.plays, 1));
}

} // namespace

Position locate(double elapsed, std::span<const Step> steps, bool loops)
{
    if (steps.empty())
        return {};
    std::vector<double> durations;
    durations.reserve(steps.size());
    double total = 0;
    for (const Step& step : steps) {
        durations.push_back(duration(step));
        total += durations.back();
    }
    // An infinite total (a vanishing rate) never ends; only an undefined one is meaningless.
    if (!(total > 0))
        return {};
    double t = std::isnan(elapsed) || elapsed < 0 ? 0 : elapsed;
    const auto last = static_cast<std::int64_t>(steps.size()) - 1;
    if (!loops && t >= total)
        return {last, std::max<std::int64_t>(steps.back().frames - 1, 0)};
    if (loops && std::isfinite(total))
        t = std::isfinite(t) ? std::fmod(t, total) : 0;
    std::int64_t chosen = last;
    double start = 0;
    for (std::int64_t i = 0; i <= last; ++i) {
        if (start + durations[static_cast<std::size_t>(i)] > t) {
            chosen = i;
            break;
        }
        if (i < last)
            start += durations[static_cast<std::size_t>(i)];
    }
    const Step& step = steps[static_cast<std::size_t>(chosen)];
    if (!plays(step))
        return {chosen, 0};
    // Stay in floating point until the value is below the frame count, so a huge rate or a long
    // run never converts an out-of-range number.
    const double ticks = std::floor(std::max(0.0, (t - start) * step.fps));
    if (!std::isfinite(ticks))
        return {chosen, 0};
    const double frame = std::fmod(ticks, static_cast<double>(step.frames));
    const auto index = static_cast<std::int64_t>(frame);
    return {chosen, std::clamp<std::int64_t>(index, 0, step.frames - 1)};
}

} // namespace velquist::SpriteAnimator
