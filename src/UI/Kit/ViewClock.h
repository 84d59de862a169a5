#pragma once

#include "Platform/Clock.h"

namespace velquist {

// The clock a view reads its "now" from: the one it was given, else the system clock.
const Clock& viewClock(const Clock* given);

} // namespace velquist
