#pragma once

#include "Windows/DisplayIdentity.h"

#include <vector>

namespace velquist {
class UserDefaults;
}

namespace velquist::AppSettings {

// "opensOnAttention": the stored Bool; true when missing or stored as another type.
bool opensOnAttention(const UserDefaults& defaults);

// Rewrites a "builtInOnly" placement to "display:<id>" of the first built-in screen, so the
// choice follows that screen. Any other value, or no built-in screen, leaves it as it is.
void migratePlacement(const std::vector<ScreenDescription>& screens, UserDefaults& defaults);

} // namespace velquist::AppSettings
