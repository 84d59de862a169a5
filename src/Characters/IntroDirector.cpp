#include "Characters/IntroDirector.h"

#include "Core/SessionStore.h"
#include "Core/SoundSink.h"
#include "Platform/PointerSource.h"
#include "Platform/ScreenProvider.h"
#include "Platform/UserDefaults.h"

#include <QPointer>
#include <array>
#include <cmath>

namespace velquist {
namespace {

constexpr std::array<const char*, 3> kActivities = {
    "Reading Sources/App/ContentView", "Editing Sources/App/ContentView", "Writing tests for the new view"};
constexpr const char* kFinished = "All 42 tests passed";
constexpr const char* kRunningTests = "Running the test suite";

// The beats of the tour, in seconds before scaling.
constexpr double kBetweenActivities = 2.4;
constexpr double kAllowPressShown = 0.55;
constexpr double kTestsRunning = 1.4;
constexpr double kDoneShown = 0.5;
constexpr double kShortestPause = 0.02;

PermissionRequest demoRequest()
{
    PermissionRequest request;
    request.toolName = "Bash";
    request.summary = "Run the test suite";
    request.tool = ToolDetail(ToolDetail::Bash{"npm test -- --coverage", "Run the test suite", false});
    request.supportsAlwaysAllow = false;
    return request;
}

} // namespace

IntroDirector::IntroDirector(Services services, QObject* parent)
    : DemoPressSource(parent), m_services(std::move(services))
{
}

IntroDirector::~IntroDirector() = default;

Session IntroDirector::demoSession(Clock::WallTime now)
{
    Session session;
    session.id = kDemoID;
    session.agent = AgentKind::claudeCode;
    session.cwd = "/home/you/Velquist Demo";
    session.status = SessionStatus(SessionStatus::Working{kActivities[0]});
    session.startedAt = now;
    session.updatedAt = now;
    session.context = ContextUsage{231000, 1000000, "claude-opus-4-8"};
    return session;
}

std::optional<IntroStepContent> IntroDirector::stepContent() const
{
    if (!m_step)
        return std::nullopt;
    std::vector<FoundAgent> agents;
    if (*m_step == IntroStep::ready && m_services.findAgents)
        agents = m_services.findAgents();
    std::string desktop;
    if (*m_step == IntroStep::jump && m_unreachableDesktop)
        desktop = m_unreachableDesktop();
    return IntroStepTexts::content(*m_step, agents, desktop);
}

void IntroDirector::start()
{
    if (m_step || m_services.store.realSessionHasBeenWaiting(0) || m_services.screens.screens().empty())
        return;
    m_services.store.setIntroIsRunning(true);
    if (m_sound)
        m_sound->play(InterfaceSound::welcome);
    if (m_onHold)
        m_onHold(true);
    enter(IntroStep::welcome, IntroDirection::forward);
    startWatchdog();
}

void IntroDirector::enter(IntroStep step, IntroDirection direction)
{
    if (step == IntroStep::jump && m_accessibilityIsGranted && m_accessibilityIsGranted()) {
        enter(direction == IntroDirection::forward ? IntroStep::ready : IntroStep::local, direction);
        return;
    }
    setStep(step);
    SessionStore& store = m_services.store;
    switch (step) {
    case IntroStep::welcome:
    case IntroStep::ready:
        store.remove(kDemoID);
        break;
    case IntroStep::working:
        store.upsert(demoSession(m_services.clock.now()));
        cycleActivity(0);
        break;
    case IntroStep::permission:
        store.upsert(demoSession(m_services.clock.now()));
        setDemo(SessionStatus(SessionStatus::NeedsPermission{demoRequest()}));
        if (direction == IntroDirection::forward && m_sound)
            m_sound->play(SoundEvent::permission);
        break;
    case IntroStep::quiet:
    case IntroStep::local:
    case IntroStep::jump:
        store.upsert(demoSession(m_services.clock.now()));
        setDemo(SessionStatus(SessionStatus::Done{kFinished}));
        break;
    }
    presentCard();
}

void IntroDirector::advance()
{
    tap();
    cancelBeat();
    if (!m_step)
        return;
    switch (*m_step) {
    case IntroStep::welcome:
        enter(IntroStep::working, IntroDirection::forward);
        break;
    case IntroStep::working:
        enter(IntroStep::permission, IntroDirection::forward);
        break;
    case IntroStep::permission:
        resolvePermission();
        break;
    case IntroStep::quiet:
        enter(IntroStep::local, IntroDirection::forward);
        break;
    case IntroStep::local:
        enter(IntroStep::jump, IntroDirection::forward);
        break;
    case IntroStep::jump:
        // Nothing to ask the system for: the desktop either gives window access or does not.
        enter(IntroStep::ready, IntroDirection::forward);
        break;
    case IntroStep::ready:
        endTour();
        break;
    }
}

void IntroDirector::declineAndAdvance()
{
    if (m_step != IntroStep::jump)
        return;
    tap();
    cancelBeat();
    enter(IntroStep::ready, IntroDirection::forward);
}

void IntroDirector::goBack()
{
    if (!m_step)
        return;
    const auto previous = previousStep(*m_step);
    if (!previous)
        return;
    tap();
    cancelBeat();
    setPressingAllow(false);
    enter(*previous, IntroDirection::back);
}

void IntroDirector::skip()
{
    if (!m_step)
        return;
    tap();
    endTour();
}

void IntroDirector::userClickedAllow()
{
    if (m_step != IntroStep::permission || m_isPressingAllow)
        return;
    cancelBeat();
    resolvePermission();
}

void IntroDirector::resolvePermission()
{
    setPressingAllow(true);
    pause(kAllowPressShown, [this] {
        setPressingAllow(false);
        setDemo(SessionStatus(SessionStatus::Working{kRunningTests}));
        pause(kTestsRunning, [this] {
            setDemo(SessionStatus(SessionStatus::Done{kFinished}));
            pause(kDoneShown, [this] { enter(IntroStep::quiet, IntroDirection::forward); });
        });
    });
}

void IntroDirector::cycleActivity(std::size_t shown)
{
    setDemo(SessionStatus(SessionStatus::Working{kActivities[shown]}));
    if (shown + 1 >= kActivities.size())
        return;
    pause(kBetweenActivities, [this, shown] { cycleActivity(shown + 1); });
}

void IntroDirector::pause(double seconds, std::function<void()> then)
{
    const double scaled = std::max(seconds * m_timeScale, kShortestPause);
    const auto delay = std::chrono::milliseconds(std::llround(scaled * 1000));
    m_beat = ScheduledTimer(m_services.scheduler,
                            m_services.scheduler.schedule(delay, [this, then = std::move(then)] {
                                if (m_step)
                                    then();
                            }));
}

void IntroDirector::startWatchdog()
{
    m_watchdog =
        ScheduledTimer(m_services.scheduler, m_services.scheduler.scheduleRepeating(kWatchdogTick, [this] {
            if (!m_step) {
                m_watchdog.cancel();
                return;
            }
            if (m_services.store.realSessionHasBeenWaiting(kStandDownAfter))
                endTour();
        }));
}

void IntroDirector::endTour()
{
    tearDown();
    m_services.defaults.setValue(kPlayedKey, true);
}

void IntroDirector::shutDown()
{
    // Not marked played: the next launch offers the tour again.
    if (m_step)
        tearDown();
}

void IntroDirector::tearDown()
{
    m_beat.cancel();
    m_watchdog.cancel();
    setPressingAllow(false);
    setStep(std::nullopt);
    m_services.store.remove(kDemoID);
    m_services.store.setIntroIsRunning(false);
    if (m_card) {
        m_card->close();
        m_card.reset();
    }
    if (m_onHold)
        m_onHold(false);
}

void IntroDirector::presentCard()
{
    if (!m_showsCard)
        return;
    const auto content = stepContent();
    if (!content)
        return;
    if (m_card) {
        m_card->refresh(*content);
        return;
    }
    if (!m_services.cards)
        return;
    const auto screen = cardScreen();
    if (!screen)
        return;
    // The card may outlive the director while it fades out.
    QPointer<IntroDirector> self(this);
    IntroCardCallbacks callbacks{
        [self] {
            if (self)
                self->advance();
        },
        [self] {
            if (self)
                self->declineAndAdvance();
        },
        [self] {
            if (self)
                self->goBack();
        },
        [self] {
            if (self)
                self->skip();
        },
    };
    m_card = m_services.cards->create(*screen, *content, std::move(callbacks));
}

std::optional<QRect> IntroDirector::cardScreen() const
{
    const auto screens = m_services.screens.screens();
    if (screens.empty())
        return std::nullopt;
    if (m_services.pointer) {
        if (const auto at = m_services.pointer->position()) {
            for (const ScreenInfo& screen : screens)
                if (screen.geometry.contains(*at))
                    return screen.geometry;
        }
    }
    return screens.front().geometry;
}

void IntroDirector::setStep(std::optional<IntroStep> step)
{
    if (step == m_step)
        return;
    m_step = step;
    Q_EMIT stepChanged();
}

void IntroDirector::setPressingAllow(bool pressing)
{
    if (pressing == m_isPressingAllow)
        return;
    m_isPressingAllow = pressing;
    Q_EMIT isPressingAllowChanged();
}

void IntroDirector::tap()
{
    if (m_sound)
        m_sound->play(InterfaceSound::tap);
}

void IntroDirector::setDemo(SessionStatus status)
{
    m_services.store.update(kDemoID, [&](Session& session) { session.status = std::move(status); });
}

} // namespace velquist
