#pragma once

#include "Platform/Clock.h"
#include "Usage/ClaudeUsageModels.h"

#include <QColor>
#include <QString>

namespace velquist {

// The rules shared by the usage ring and the usage strip's gauges.
namespace UsageGauge {

// A percentage fit for drawing and counting: NaN reads 0, negatives 0, and anything past 999
// (including infinity) 999.
double sanePercent(double percent);
// The share of a full bar or ring: the sane percentage / 100, at most 1.
double fillFraction(double percent);
// Rounded to the nearest whole number, halves away from zero.
long long roundedPercent(double percent);
// Rounded down.
long long flooredPercent(double percent);
// "Session: 42% used, resets in 1h 30m" (nothing after "used" without a reset time).
QString tooltip(const QuotaWindow& window, Clock::WallTime now);
// The ring's colour: green below 70, amber below 90, red from 90.
QColor ringColour(double percent);
// The bar's fill: faint white below 70, orange below 90, red from 90.
QColor fillColour(double percent);

} // namespace UsageGauge
} // namespace velquist
