#pragma once

#include <cstdint>
#include <span>

namespace velquist {

// Time to picture: which step of an animation, and which frame of it, shows after some seconds.
namespace SpriteAnimator {

struct Step
{
    std::int64_t frames = 0; // frames cut from the sheet, or the manifest's count before that
    double fps = 0;
    std::int64_t plays = 1;
    bool operator==(const Step&) const = default;
};

struct Position
{
    std::int64_t step = 0;
    std::int64_t frame = 0;
    bool operator==(const Position&) const = default;
};

// A step lasts frames / fps × max(plays, 1) seconds; a step without frames or with an fps that is
// not positive lasts nothing. Negative or undefined elapsed time counts as 0. Without looping the
// last frame of the last step stays once the animation has run. Any counts and rates are safe:
// the arithmetic is in floating point and never converts a value that does not fit.
Position locate(double elapsed, std::span<const Step> steps, bool loops);

} // namespace SpriteAnimator
} // namespace velquist
