#include "Characters/MoodResolver.h"

#include <algorithm>

namespace velquist::MoodResolver {

CharacterMood baseMood(const std::vector<Session>& sessions)
{
    if (std::any_of(sessions.begin(), sessions.end(),
                    [](const Session& s) { return s.status.asksForUser(); }))
        return CharacterMood::alert;
    if (std::any_of(sessions.begin(), sessions.end(),
                    [](const Session& s) { return s.status.is<SessionStatus::Working>(); }))
        return CharacterMood::active;
    return CharacterMood::resting;
}

} // namespace velquist::MoodResolver
