#pragma once

#include "Core/AlertSignal.h"

namespace velquist {

// Where the store's alert signals are acted on (the panel's presentation and its sounds). The
// application connects it to SessionStore::alertRaised once it exists.
class AttentionSink
{
  public:
    virtual ~AttentionSink() = default;
    // Reacts to one alert signal of the store.
    virtual void handleAlert(AlertSignal signal) = 0;
};

} // namespace velquist
