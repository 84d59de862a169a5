#pragma once

#include "Platform/Clock.h"

#include <QColor>

namespace velquist {

struct Session;

// The one status-to-colour rule of pips, accents and the peek line.
namespace SessionSignal {

inline constexpr auto kOverdueAfter = std::chrono::seconds(300);

QColor doneUnread();
QColor doneRead();
// The colour of `session` at `now`: a request that has waited more than 300 s turns red-orange.
QColor color(const Session& session, Clock::WallTime now);

} // namespace SessionSignal
} // namespace velquist
