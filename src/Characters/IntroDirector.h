#pragma once

#include "Actions/IntroAllowHook.h"
#include "Characters/IntroCard.h"
#include "Characters/IntroStep.h"
#include "Characters/IntroStepContent.h"
#include "Core/Scheduler.h"
#include "Core/Session.h"
#include "Platform/Clock.h"
#include "UI/DemoPressSource.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velquist {

class PointerSource;
class ScreenProvider;
class SessionStore;
class SoundSink;
class UserDefaults;

// Plays the first-run tour: holds the panel open, plays one demonstration session through
// working, asking and finished, and drives the floating card that explains each step. The tour's
// only state machine; the card and the panel only show what it publishes and call back into it.
// Every pause runs on the injected scheduler, and leaving a step cancels its pending beat, so
// nothing of a step runs after the step is gone. Main thread.
class IntroDirector final : public DemoPressSource, public IntroAllowHook
{
    Q_OBJECT
  public:
    // What the director reaches; all must outlive it.
    struct Services
    {
        SessionStore& store;
        UserDefaults& defaults;
        Clock& clock;
        Scheduler& scheduler;
        const ScreenProvider& screens;
        // Where the pointer is, to show the card on the screen under it; none: the first screen.
        const PointerSource* pointer = nullptr;
        // Makes the card; none runs the tour without one.
        IntroCardFactory* cards = nullptr;
        // The agents on this computer, read each time the last step's words are made.
        std::function<std::vector<FoundAgent>()> findAgents;
    };

    // Written true when a tour ends; while unset, start-up plays the tour.
    static constexpr const char* kPlayedKey = "IntroMoviePlayed";
    static constexpr const char* kDemoID = "intro-demo";

    explicit IntroDirector(Services services, QObject* parent = nullptr);
    ~IntroDirector() override;

    // The sound player; none plays nothing.
    void setSound(SoundSink* sound) { m_sound = sound; }
    // Asks the panel to stay open (true) or lets it go (false).
    void setOnHold(std::function<void(bool)> onHold) { m_onHold = std::move(onHold); }
    // Whether jumping to terminals already works; when it does the step that asks for it is left
    // out. Unset: never.
    void setAccessibilityIsGranted(std::function<bool()> check)
    {
        m_accessibilityIsGranted = std::move(check);
    }
    // The desktop whose compositor keeps windows out of reach, named on the step that asks for
    // window access. Unset: none.
    void setUnreachableDesktop(std::function<std::string()> desktop)
    {
        m_unreachableDesktop = std::move(desktop);
    }
    // Multiplies every pause of the beats (never below 20 ms).
    void setTimeScale(double scale) { m_timeScale = scale; }
    void setShowsCard(bool shows) { m_showsCard = shows; }

    // Begins a tour, unless one runs, a real session waits for the user, or there is no screen.
    void start();
    // The card's buttons.
    void advance();
    void declineAndAdvance();
    void goBack();
    void skip();
    // Any answer on the demonstration session in the panel.
    void userClickedAllow() override;
    // The application is quitting: everything the tour holds goes without marking it played.
    void shutDown();

    std::optional<IntroStep> step() const { return m_step; }
    bool isPressingAllow() const override { return m_isPressingAllow; }
    std::optional<IntroStepContent> stepContent() const;
    bool hasCard() const { return m_card != nullptr; }
    // Whether any timer of the tour is still due (the step's beat or the watchdog).
    bool hasPendingTimers() const { return m_beat.isActive() || m_watchdog.isActive(); }

    // The demonstration session as it is first placed, at `now`.
    static Session demoSession(Clock::WallTime now);

    static constexpr double kStandDownAfter = 1.5;
    static constexpr std::chrono::milliseconds kWatchdogTick{300};

  Q_SIGNALS:
    void stepChanged();

  private:
    void enter(IntroStep step, IntroDirection direction);
    void resolvePermission();
    void cycleActivity(std::size_t shown);
    void startWatchdog();
    // Runs `then` after `seconds` (scaled), unless the beat is cancelled or the tour has ended.
    void pause(double seconds, std::function<void()> then);
    void presentCard();
    void endTour();
    // Ends the tour and lets go of everything it holds: timers, demonstration, card, panel.
    void tearDown();
    void cancelBeat() { m_beat.cancel(); }
    void setStep(std::optional<IntroStep> step);
    void setPressingAllow(bool pressing);
    void tap();
    void setDemo(SessionStatus status);
    std::optional<QRect> cardScreen() const;

    Services m_services;
    SoundSink* m_sound = nullptr;
    std::function<void(bool)> m_onHold;
    std::function<bool()> m_accessibilityIsGranted;
    std::function<std::string()> m_unreachableDesktop;
    double m_timeScale = 1.0;
    bool m_showsCard = true;
    std::optional<IntroStep> m_step;
    bool m_isPressingAllow = false;
    ScheduledTimer m_beat;
    ScheduledTimer m_watchdog;
    std::unique_ptr<IntroCard> m_card;
};

} // namespace velquist
