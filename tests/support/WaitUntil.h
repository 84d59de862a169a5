#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>

class QThreadPool;

namespace velquist::test {

// Runs the Qt event loop until `condition` holds or `timeout` passes; returns the condition.
// For work that finishes on other threads; the timeout only guards against a hang.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Polls without running the event loop until `condition` holds or `timeout` passes; returns the
// condition. For what another process or the X server does, while this thread must not handle events.
bool pollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs the event loop for a moment, to show that something does not happen. Only for work the
// test cannot wait for otherwise (another process, a timer of the system); work on a pool the test
// owns is drained instead.
void settle(std::chrono::milliseconds duration = std::chrono::milliseconds(100));
// Runs until `pool` is idle and what its work posted back to this thread has been delivered, again
// while that starts more work: afterwards, work handed to the pool has had every effect it will
// have, so a test may assert that something did not happen.
void drain(QThreadPool& pool);
// The same for work that passes between several pools (Qt's global one among them, say).
void drain(std::initializer_list<QThreadPool*> pools);

} // namespace velquist::test
