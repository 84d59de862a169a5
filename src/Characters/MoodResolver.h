#pragma once

#include "Characters/CharacterMood.h"

namespace velquist {

struct DisplaySummary;

namespace MoodResolver {

// The lasting mood of the displayed sessions, from the store's counts of them: alert when any asks
// for the user, else active when any works, else resting.
CharacterMood baseMood(const DisplaySummary& summary);

} // namespace MoodResolver
} // namespace velquist
