#pragma once

#include "Core/AlertSignal.h"
#include "Core/AttentionSink.h"
#include "Core/PanelPresentation.h"
#include "Core/PrivacyGuard.h"
#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace velquist {

class FrontmostApplication;
class ScreenLock;
class SessionStore;
class SoundSink;
class SystemIdle;
class TerminalApps;
class UserDefaults;

// Decides how loudly the panel asks for the user: the sound, opening the panel for a few seconds,
// then a ladder of short peeks at 1, 5 and 15 minutes after the alert. It holds back while the user
// is away, the screen is locked, privacy mode is on, the session's terminal is in front or the user
// has snoozed. It only states a wish (`desiredPresentation`); each panel combines it with its own
// pointer state. All timing runs on the injected scheduler and the monotonic clock. Main thread.
class AttentionCoordinator final : public QObject, public AttentionSink
{
    Q_OBJECT
  public:
    // The facts of the desktop that the coordinator consults; all must outlive it.
    struct Probes
    {
        SystemIdle& idle;
        ScreenLock& screenLock;
        FrontmostApplication& frontmost;
        TerminalApps& terminals;
    };

    // Idle time beyond this counts as the user being away.
    static constexpr double awaySeconds = 120;
    static constexpr std::chrono::seconds snoozeLength{900};

    AttentionCoordinator(SessionStore& store, const UserDefaults& defaults, const Clock& clock,
                         Scheduler& scheduler, Probes probes, QObject* parent = nullptr);
    ~AttentionCoordinator() override;

    // None plays no sound; set once at start-up.
    void setSound(SoundSink* sound) { m_sound = sound; }
    // None means privacy is never active.
    void setPrivacy(const PrivacyGuard* privacy) { m_privacy = privacy; }
    // Stretches (or shrinks) the ladder's and the peek's timings; 1 in the running application.
    void setTimeScale(double scale) { m_timeScale = scale; }

    PanelPresentation desiredPresentation() const { return m_presentation; }
    // When the last snooze ends or ended: a lapsed one is kept and no longer counts; none when the
    // user never snoozed or cancelled it. `snoozedUntilChanged` also fires as a snooze lapses.
    std::optional<Clock::Monotonic> snoozedUntil() const { return m_snoozedUntil; }
    bool isSnoozed() const;
    // Someone types into a panel's text field; fields are counted, so one closing while another
    // stays open keeps the panel expanded.
    bool isTextEntryActive() const { return m_textEntries > 0; }

    // The session store's alert signals.
    void handleAlert(AlertSignal signal) override;
    // A usage window crossed the warning threshold. Returns whether the warning was delivered (its
    // sound played), so the caller can offer it again when it was held back by a snooze, the lock
    // or privacy mode.
    bool announceUsageWarning(const std::string& windowID);
    // A panel's text field took focus (true) or went away (false).
    void setTextEntryActive(bool active);
    // The pointer rested in a panel, or the user clicked the collapsed bar to open it.
    void noteUserLooked();
    // Fifteen quiet minutes: no sound, opening or peek; ends early by cancelSnooze().
    void snooze();
    void cancelSnooze();
    // The user switched privacy mode off: a waiting request is announced again.
    void privacyModeDidTurnOff();

  Q_SIGNALS:
    void desiredPresentationChanged();
    void snoozedUntilChanged();
    void textEntryActiveChanged();

  private:
    using Continuation = std::function<void()>;

    void startLadder();
    void runLadder(Clock::Monotonic raisedAt);
    void ladderStep(Clock::Monotonic raisedAt, std::size_t step);
    void waitForUserToReturn(Continuation next);
    // The tests of a peek; when they pass, starts it (the caller ends it after peekLength()).
    bool beginPeek();
    void endPeek();
    void flashDone();
    void settle(std::chrono::milliseconds delay);
    void playAttentionSound();

    bool opensOnAttention() const;
    bool isSessionTerminalFrontmost() const;
    bool isScreenLocked() const;
    bool isPrivacyActive() const;
    bool needsAttention() const;
    void setPresentation(PanelPresentation presentation);
    std::chrono::milliseconds scaled(double seconds, double atLeast = 0) const;

    // The one timed task: ladder, done flash or settle. Starting one cancels the one before.
    void cancelLadder();
    void clearLadder();
    void sleep(std::chrono::milliseconds delay, Continuation next);

    SessionStore& m_store;
    const UserDefaults& m_defaults;
    const Clock& m_clock;
    Scheduler& m_scheduler;
    Probes m_probes;
    SoundSink* m_sound = nullptr;
    QPointer<const PrivacyGuard> m_privacy;

    PanelPresentation m_presentation = PanelPresentation::collapsed;
    std::optional<Clock::Monotonic> m_snoozedUntil;
    int m_textEntries = 0;
    // Whether a task was stored (it stays stored after it has run to its end, until cleared).
    bool m_ladderStored = false;
    // Raised on every cancel, so a lookup or timer of a cancelled task finds itself stale.
    std::uint64_t m_ladderGeneration = 0;
    ScheduledTimer m_ladder;
    ScheduledTimer m_usagePeek;
    ScheduledTimer m_snoozeEnd;
    std::optional<Clock::Monotonic> m_lastPeekAt;
    double m_timeScale = 1.0;
};

} // namespace velquist
