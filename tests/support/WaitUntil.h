#pragma once

#include <chrono>
#include <functional>

namespace velquist::test {

// Runs the Qt event loop until `condition` holds or `timeout` passes; returns the condition.
// For work that finishes on other threads; the timeout only guards against a hang.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Runs the event loop for a moment, to show that something does not happen.
void settle(std::chrono::milliseconds duration = std::chrono::milliseconds(100));

} // namespace velquist::test
