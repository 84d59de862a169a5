#pragma once

// One figure of a benchmark, as a line that bench/run-all.sh gathers into its single table:
//   @row|<figure>|<value>|<unit>|<target>|<ratio>
// The ratio is how the figure stands against its target: 1.00 or more meets it. A figure that
// could not be taken is a line of its own, so the table still shows it, with the reason:
//   @missing|<figure>|<reason>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>
#include <string>

namespace velquist::bench {

inline void row(const char* figure, double value, const char* unit, double target, bool higherIsBetter)
{
    const double ratio = higherIsBetter ? value / target : value > 0 ? target / value : 999.99;
    // Small figures (a fraction of a percent of CPU) keep their digits.
    std::printf(value < 10 ? "@row|%s|%.3f|%s|%s %g|%.2f\n" : "@row|%s|%.1f|%s|%s %g|%.2f\n", figure, value,
                unit, higherIsBetter ? ">=" : "<=", target, ratio);
    std::fflush(stdout);
}

// `figure` was not measured, and why (what was missing).
inline void notMeasured(const char* figure, const std::string& reason)
{
    std::printf("@missing|%s|%s\n", figure, reason.c_str());
    std::fflush(stdout);
}

// Runs the event loop until `done` holds; false when `timeoutMs` passes first.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

} // namespace velquist::bench
