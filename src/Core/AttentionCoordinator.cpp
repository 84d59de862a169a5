#include "Core/AttentionCoordinator.h"

#include "Core/PrivacyGuard.h"
#include "Core/SessionStore.h"
#include "Core/SoundSink.h"
#include "Core/TerminalApps.h"
#include "Platform/FrontmostApplication.h"
#include "Platform/ScreenLock.h"
#include "Platform/SystemIdle.h"
#include "Platform/UserDefaults.h"
#include "Shared/Log.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace velquist {

namespace {

using std::chrono::milliseconds;

constexpr std::array<double, 3> ladderSteps{60, 300, 900};
constexpr double firstOpenSeconds = 8;
constexpr double peekSpacingSeconds = 30;
constexpr double peekSeconds = 1.2;
constexpr double shortestSleep = 0.05;
constexpr milliseconds awayRecheck{5000};
constexpr milliseconds doneFlashLength{6000};
constexpr milliseconds settleDelay{1500};

std::string folderName(const std::string& cwd)
{
    if (cwd == "unknown")
        return "No folder";
    const auto name = std::filesystem::path(cwd).filename().string();
    return name.empty() ? cwd : name;
}

} // namespace

AttentionCoordinator::AttentionCoordinator(SessionStore& store, const UserDefaults& defaults,
                                           const Clock& clock, Scheduler& scheduler, Probes probes,
                                           QObject* parent)
    : QObject(parent), m_store(store), m_defaults(defaults), m_clock(clock), m_scheduler(scheduler),
      m_probes(probes)
{
}

AttentionCoordinator::~AttentionCoordinator() = default;

bool AttentionCoordinator::isSnoozed() const
{
    return m_snoozedUntil && *m_snoozedUntil > m_clock.monotonic();
}

void AttentionCoordinator::handleAlert(AlertSignal signal)
{
    switch (signal) {
    case AlertSignal::attention:
        startLadder();
        break;
    case AlertSignal::doneFlash:
        flashDone();
        break;
    case AlertSignal::cleared:
        settle(settleDelay);
        break;
    case AlertSignal::sessionStarted:
        // Snooze and a terminal in front do not silence a new session; the panel is not touched.
        if (!isScreenLocked() && !isPrivacyActive() && m_sound)
            m_sound->play(SoundEvent::start);
        break;
    }
}

bool AttentionCoordinator::announceUsageWarning(const std::string& windowID)
{
    if (isSnoozed() || isScreenLocked() || isPrivacyActive())
        return false;
    Log::debug("attention", "usage warning for " + windowID);
    if (m_sound)
        m_sound->play(SoundEvent::done);
    if (beginPeek())
        m_usagePeek = ScheduledTimer(
            m_scheduler, m_scheduler.schedule(scaled(peekSeconds, shortestSleep), [this] { endPeek(); }));
    return true;
}

void AttentionCoordinator::setTextEntryActive(bool active)
{
    if (active) {
        if (m_textEntries++ > 0)
            return;
        Log::debug("attention", "text entry began");
        Q_EMIT textEntryActiveChanged();
        clearLadder();
        setPresentation(PanelPresentation::expanded);
        return;
    }
    if (m_textEntries == 0 || --m_textEntries > 0)
        return;
    Log::debug("attention", "text entry ended");
    Q_EMIT textEntryActiveChanged();
    if (!needsAttention())
        settle(settleDelay);
}

void AttentionCoordinator::noteUserLooked()
{
    if (!m_ladderStored)
        return;
    clearLadder();
    setPresentation(PanelPresentation::collapsed);
}

void AttentionCoordinator::snooze()
{
    clearLadder();
    m_snoozedUntil = m_clock.monotonic() + snoozeLength;
    // A lapsed snooze stays stored and simply stops counting: nothing is announced when it lapses,
    // only the views are told, so the bar stops showing it.
    m_snoozeEnd = ScheduledTimer(
        m_scheduler, m_scheduler.schedule(snoozeLength, [this] { Q_EMIT snoozedUntilChanged(); }));
    Log::debug("attention", "snoozed for 15m");
    Q_EMIT snoozedUntilChanged();
    setPresentation(PanelPresentation::collapsed);
}

void AttentionCoordinator::cancelSnooze()
{
    if (!isSnoozed())
        return;
    m_snoozeEnd.cancel();
    m_snoozedUntil.reset();
    Q_EMIT snoozedUntilChanged();
    if (needsAttention())
        startLadder();
}

void AttentionCoordinator::privacyModeDidTurnOff()
{
    if (!isSnoozed() && needsAttention())
        startLadder();
}

void AttentionCoordinator::startLadder()
{
    if (isSnoozed())
        return;
    cancelLadder();
    m_ladderStored = true;
    const Clock::Monotonic raisedAt = m_clock.monotonic();
    m_probes.idle.refresh();
    const std::uint64_t generation = m_ladderGeneration;
    auto run = [this, generation, raisedAt] {
        if (generation == m_ladderGeneration)
            runLadder(raisedAt);
    };
    // Whether the terminal is in front is asked of a kept answer; a session not looked up yet is
    // looked up first, off the main thread, and the ladder starts when the answer is there.
    const auto session = m_store.attentionSession();
    if (session && session->terminal.ownerPID && !m_probes.terminals.cached(*session->terminal.ownerPID))
        m_probes.terminals.lookUp(*session->terminal.ownerPID, this, run);
    else
        run();
}

void AttentionCoordinator::runLadder(Clock::Monotonic raisedAt)
{
    if (isSessionTerminalFrontmost() || isScreenLocked() || isPrivacyActive()) {
        setPresentation(PanelPresentation::collapsed);
        ladderStep(raisedAt, 0);
        return;
    }
    const bool opens = opensOnAttention();
    playAttentionSound();
    if (!opens) {
        setPresentation(PanelPresentation::collapsed);
        ladderStep(raisedAt, 0);
        return;
    }
    setPresentation(PanelPresentation::expanded);
    sleep(scaled(firstOpenSeconds, shortestSleep), [this, raisedAt] {
        setPresentation(PanelPresentation::collapsed);
        ladderStep(raisedAt, 0);
    });
}

// The steps count from the alert, so after a long absence the later ones fall due at once and the
// peek spacing lets only the first of them show.
void AttentionCoordinator::ladderStep(Clock::Monotonic raisedAt, std::size_t step)
{
    if (step >= ladderSteps.size())
        return;
    auto test = [this, raisedAt, step] {
        if (!needsAttention())
            return;
        waitForUserToReturn([this, raisedAt, step] {
            if (beginPeek())
                sleep(scaled(peekSeconds, shortestSleep), [this, raisedAt, step] {
                    endPeek();
                    ladderStep(raisedAt, step + 1);
                });
            else
                ladderStep(raisedAt, step + 1);
        });
    };
    const auto target = raisedAt + scaled(ladderSteps[step]);
    const auto now = m_clock.monotonic();
    if (target > now)
        sleep(std::chrono::ceil<milliseconds>(target - now), test);
    else
        test();
}

void AttentionCoordinator::waitForUserToReturn(Continuation next)
{
    if (m_probes.idle.seconds() <= awaySeconds) {
        next();
        return;
    }
    m_probes.idle.refresh();
    sleep(awayRecheck, [this, next = std::move(next)]() mutable { waitForUserToReturn(std::move(next)); });
}

bool AttentionCoordinator::beginPeek()
{
    if (!opensOnAttention() || isSnoozed() || isSessionTerminalFrontmost() || isScreenLocked() ||
        isPrivacyActive())
        return false;
    const auto now = m_clock.monotonic();
    if (m_lastPeekAt && now - *m_lastPeekAt < scaled(peekSpacingSeconds))
        return false;
    if (m_presentation != PanelPresentation::collapsed)
        return false;
    m_lastPeekAt = now;
    setPresentation(PanelPresentation::peeking);
    return true;
}

void AttentionCoordinator::endPeek()
{
    if (m_presentation == PanelPresentation::peeking)
        setPresentation(PanelPresentation::collapsed);
}

// A finished session never interrupts one that still waits for the user.
void AttentionCoordinator::flashDone()
{
    if (needsAttention() || isSnoozed() || isScreenLocked() || isPrivacyActive())
        return;
    if (m_sound)
        m_sound->play(SoundEvent::done);
    if (!opensOnAttention())
        return;
    cancelLadder();
    m_ladderStored = true;
    setPresentation(PanelPresentation::expanded);
    sleep(doneFlashLength, [this] { setPresentation(PanelPresentation::collapsed); });
}

void AttentionCoordinator::settle(std::chrono::milliseconds delay)
{
    cancelLadder();
    m_ladderStored = true;
    sleep(delay, [this] {
        if (!needsAttention())
            setPresentation(PanelPresentation::collapsed);
    });
}

void AttentionCoordinator::playAttentionSound()
{
    const auto session = m_store.attentionSession();
    if (!session || !m_sound)
        return;
    if (session->status.is<SessionStatus::NeedsPermission>())
        m_sound->play(SoundEvent::permission);
    else if (session->status.is<SessionStatus::WaitingForInput>())
        m_sound->play(SoundEvent::question);
}

bool AttentionCoordinator::opensOnAttention() const
{
    // The same reading as the application's settings: true unless a Bool says otherwise.
    return m_defaults.boolValue("opensOnAttention").value_or(true);
}

// A session whose terminal is unknown never counts as in front, so its alert is never suppressed.
bool AttentionCoordinator::isSessionTerminalFrontmost() const
{
    const auto session = m_store.attentionSession();
    if (!session)
        return false;
    const auto& owner = session->terminal.ownerPID;
    const auto cached = owner ? m_probes.terminals.cached(*owner) : std::nullopt;
    if (!cached || !*cached) {
        Log::debug("attention", "no terminal binding for " + folderName(session->cwd) + ", cannot suppress");
        return false;
    }
    const RunningApp& app = **cached;
    const auto front = m_probes.frontmost.frontmostPid();
    const bool suppress = front && *front == app.pid;
    Log::debug("attention", "session terminal=" + app.localizedName.value_or(app.identifier) +
                                " frontmost=" + (front ? std::to_string(*front) : "?") +
                                " suppress=" + (suppress ? "true" : "false"));
    return suppress;
}

bool AttentionCoordinator::isScreenLocked() const
{
    return m_probes.screenLock.isScreenLocked();
}

bool AttentionCoordinator::isPrivacyActive() const
{
    return m_privacy && m_privacy->isActive();
}

bool AttentionCoordinator::needsAttention() const
{
    return m_store.hasAttention();
}

void AttentionCoordinator::setPresentation(PanelPresentation presentation)
{
    if (m_presentation == presentation)
        return;
    m_presentation = presentation;
    Q_EMIT desiredPresentationChanged();
}

std::chrono::milliseconds AttentionCoordinator::scaled(double seconds, double atLeast) const
{
    const double value = std::max(seconds * m_timeScale, atLeast);
    return milliseconds(static_cast<std::int64_t>(value * 1000.0 + 0.5));
}

void AttentionCoordinator::cancelLadder()
{
    m_ladder.cancel();
    ++m_ladderGeneration;
}

void AttentionCoordinator::clearLadder()
{
    cancelLadder();
    m_ladderStored = false;
}

// Every wake-up checks that its task is still the current one, so a cancelled task never changes
// the presentation that a newer one set.
void AttentionCoordinator::sleep(std::chrono::milliseconds delay, Continuation next)
{
    const std::uint64_t generation = m_ladderGeneration;
    m_ladder =
        ScheduledTimer(m_scheduler, m_scheduler.schedule(delay, [this, generation, next = std::move(next)] {
            if (generation == m_ladderGeneration)
                next();
        }));
}

} // namespace velquist
