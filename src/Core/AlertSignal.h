#pragma once

#include <string_view>

namespace velquist {

// What the session store tells the attention coordinator.
enum class AlertSignal {
    attention,      // a session began to ask for the user
    doneFlash,      // a working session finished
    cleared,        // the last session that asked for the user stopped asking
    sessionStarted, // a new session appeared
};

constexpr std::string_view toString(AlertSignal signal)
{
    switch (signal) {
    case AlertSignal::attention:
        return "attention";
    case AlertSignal::doneFlash:
        return "doneFlash";
    case AlertSignal::cleared:
        return "cleared";
    case AlertSignal::sessionStarted:
        return "sessionStarted";
    }
    return "attention";
}

} // namespace velquist
