#pragma once

#include "Characters/CharacterMood.h"
#include "Core/AlertSignal.h"
#include "Core/Scheduler.h"

#include <QObject>
#include <cstdint>
#include <optional>

namespace velquist {

class SessionStore;

// The mood of one character: it follows the displayed sessions, and a finished session makes it
// celebrate for three seconds. Someone asking for the user ends a celebration at once.
class CharacterDirector final : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kCelebration{3000};

    CharacterDirector(SessionStore& store, Scheduler& scheduler, QObject* parent = nullptr);

    CharacterMood mood() const { return m_mood; }
    bool isCelebrating() const { return m_celebration.isActive(); }

    // The displayed sessions changed. Ignored while celebrating; the celebration's end catches up.
    void recompute();
    // The store's alert revision changed; each revision is handled once.
    void handleAlert(std::int64_t revision, std::optional<AlertSignal> signal);

  Q_SIGNALS:
    void moodChanged(velquist::CharacterMood mood);

  private:
    void setMood(CharacterMood mood);
    void follow();

    SessionStore& m_store;
    Scheduler& m_scheduler;
    CharacterMood m_mood = CharacterMood::resting;
    std::int64_t m_lastAlertRevision = 0;
    ScheduledTimer m_celebration;
};

} // namespace velquist
