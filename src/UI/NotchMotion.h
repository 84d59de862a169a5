#pragma once

#include <QEasingCurve>

namespace velquist {

// The one timing curve of every panel animation: quick start, long soft landing.
namespace NotchMotion {

inline constexpr int kDurationMs = 1000;

// A cubic Bézier from (0, 0) through the control points (0.22, 1.0) and (0.28, 1.0) to (1, 1).
QEasingCurve presentation();

} // namespace NotchMotion
} // namespace velquist
