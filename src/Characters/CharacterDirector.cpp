#include "Characters/CharacterDirector.h"

#include "Characters/MoodResolver.h"
#include "Core/SessionStore.h"

namespace velquist {

CharacterDirector::CharacterDirector(SessionStore& store, Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_store(store), m_scheduler(scheduler)
{
    m_mood = MoodResolver::baseMood(m_store.displaySummary());
}

void CharacterDirector::recompute()
{
    if (isCelebrating())
        return;
    follow();
}

void CharacterDirector::handleAlert(std::int64_t revision, std::optional<AlertSignal> signal)
{
    if (revision == m_lastAlertRevision)
        return;
    m_lastAlertRevision = revision;
    if (signal == AlertSignal::attention) {
        m_celebration.cancel();
        follow();
    } else if (signal == AlertSignal::doneFlash) {
        // The timer belongs to this object (ScheduledTimer cancels it on destruction), so it never
        // fires into a discarded director; replacing it restarts the three seconds.
        m_celebration = ScheduledTimer(m_scheduler, m_scheduler.schedule(kCelebration, [this] {
            m_celebration = ScheduledTimer();
            follow();
        }));
        setMood(CharacterMood::celebrating);
    } else if (!isCelebrating()) {
        follow();
    }
}

void CharacterDirector::follow()
{
    setMood(MoodResolver::baseMood(m_store.displaySummary()));
}

void CharacterDirector::setMood(CharacterMood mood)
{
    if (mood == m_mood)
        return;
    m_mood = mood;
    Q_EMIT moodChanged(mood);
}

} // namespace velquist
