#include "Attention/GlanceWatcher.h"

#include "Core/Clock.h"
#include "Core/SessionStore.h"
#include "Platform/WindowSystem.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Terminal/TerminalBinder.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velquist {

namespace {

std::vector<Session> unreadFinished(const SessionStore& store)
{
    std::vector<Session> sessions;
    for (const auto& [id, session] : store.sessions()) {
        if (session.status.is<SessionStatus::Done>() && !session.doneSeenAt && session.terminal.ownerPID)
            sessions.push_back(session);
    }
    return sessions;
}

} // namespace

GlanceWatcher::GlanceWatcher(Services services, QObject* parent) : QObject(parent), m_services(services) {}

bool GlanceWatcher::showsNoTabs(const std::string& identifier)
{
    static constexpr std::array<std::string_view, 8> tabless = {
        "org.alacritty", "xterm", "debian-xterm", "uxterm", "debian-uxterm", "urxvt", "rxvt-unicode", "st"};
    return std::find(tabless.begin(), tabless.end(), identifier) != tabless.end();
}

void GlanceWatcher::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_services.windows, &WindowSystem::activeWindowChanged, this, &GlanceWatcher::restart);
    reevaluate();
}

void GlanceWatcher::stop()
{
    m_started = false;
    disconnect(&m_services.windows, &WindowSystem::activeWindowChanged, this, &GlanceWatcher::restart);
    stopWatching();
}

void GlanceWatcher::restart()
{
    // Another window in front begins a new look: the dwell counts from here.
    stopWatching();
    reevaluate();
}

void GlanceWatcher::reevaluate()
{
    if (!m_started)
        return;
    if (unreadFinished(m_services.store).empty()) {
        stopWatching();
        return;
    }
    if (m_watching)
        return;
    m_watching = true;
    m_dwell.emplace(dwell);
    pass();
}

void GlanceWatcher::stopWatching()
{
    m_watching = false;
    ++m_generation;
    m_timer.cancel();
    m_dwell.reset();
}

void GlanceWatcher::pass()
{
    const auto sessions = unreadFinished(m_services.store);
    if (sessions.empty())
        return stopWatching();
    std::vector<std::int64_t> owners;
    for (const auto& session : sessions)
        owners.push_back(*session.terminal.ownerPID);
    // The process walk reads /proc and the window queries wait on the X server: on a worker, each
    // owner resolved once a pass.
    runOnWorker<Sight>(
        this,
        [&binder = m_services.binder, &windows = m_services.windows, owners] {
            Sight sight;
            sight.active = windows.activeWindow();
            if (!sight.active)
                return sight;
            for (const auto owner : owners) {
                if (!sight.apps.contains(owner))
                    sight.apps[owner] = binder.resolveApp(owner);
            }
            if (windows.canListWindows())
                sight.windowCount = static_cast<int>(windows.windowsOf(sight.active->pid).size());
            return sight;
        },
        [this, generation = m_generation](Sight sight) {
            if (generation == m_generation && m_watching)
                observe(sight);
        });
}

void GlanceWatcher::observe(const Sight& sight)
{
    std::vector<Session> candidates;
    std::optional<RunningApp> terminal;
    for (const auto& session : unreadFinished(m_services.store)) {
        const auto app = sight.apps.find(*session.terminal.ownerPID);
        if (sight.active && app != sight.apps.end() && app->second && app->second->pid == sight.active->pid) {
            candidates.push_back(session);
            terminal = app->second;
        }
    }
    if (candidates.empty())
        return stopWatching();

    GlanceMatch::Observation observation;
    if (sight.windowCount) {
        observation.windowCount = sight.windowCount;
        observation.focusedTitle = sight.active->title;
        // X11 cannot count a window's tabs: one window is one surface only where there are none.
        observation.tabsUncounted = !showsNoTabs(terminal->identifier);
    }
    const auto match = GlanceMatch::seenSession(candidates, observation);
    if (const auto seen = m_dwell->observe(match, m_services.clock.monotonic())) {
        Log::debug("glance", "user visited " + *seen + ", marking read");
        m_services.store.markDoneRead(*seen);
    }
    m_timer =
        ScheduledTimer(m_services.scheduler, m_services.scheduler.schedule(pollInterval, [this] { pass(); }));
}

} // namespace velquist
