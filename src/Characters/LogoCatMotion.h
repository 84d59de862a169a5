#pragma once

#include "Characters/LogoCatGrid.h"

namespace velquist {

// How the cat moves in each expression: a pure function of the time since the expression was
// set, so the view only asks for the pose of each frame and tests ask for any moment.
namespace LogoCatMotion {

// The pose `seconds` after the expression was set (blinking left out). With `reduceMotion` the
// cat stands still, with its sparkles at full phase when delighted.
LogoCatGrid::Pose pose(LogoCatExpression expression, double seconds, bool reduceMotion);

// Whether the eyes blink now and then (only the open-eyed faces, and never with less motion).
bool blinks(LogoCatExpression expression, bool reduceMotion);

// Shapes of the animations, 0..1 in and out.
double easeInOut(double progress);
// A value that runs to 1 and back again every `duration` each way, eased.
double reversing(double seconds, double duration);
// A critically damped spring of `response` seconds heading from 0 to 1.
double spring(double seconds, double response);

} // namespace LogoCatMotion
} // namespace velquist
