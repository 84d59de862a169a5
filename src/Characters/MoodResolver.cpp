#include "Characters/MoodResolver.h"

#include "Core/SessionStore.h"

namespace velquist::MoodResolver {

CharacterMood baseMood(const DisplaySummary& summary)
{
    if (summary.asking > 0)
        return CharacterMood::alert;
    if (summary.working > 0)
        return CharacterMood::active;
    return CharacterMood::resting;
}

} // namespace velquist::MoodResolver
