#pragma once

#include "Characters/CharacterMood.h"
#include "Core/Session.h"

#include <vector>

namespace velquist::MoodResolver {

// The lasting mood of a set of sessions: alert when any asks for the user, else active when any
// works, else resting.
CharacterMood baseMood(const std::vector<Session>& sessions);

} // namespace velquist::MoodResolver
