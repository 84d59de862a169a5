#include "Attention/GlanceWatcher.h"

#include "Core/SessionStore.h"
#include "Platform/Clock.h"
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
        if (session.status.is<SessionStatus::Done>() && !session.doneSeenAt &&
            (session.terminal.ownerPID || Tmux::pane(session.terminal.env)))
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
    struct Lookup
    {
        std::string id;
        std::optional<std::int64_t> ownerPID;
        TerminalEnvironment env;
    };
    std::vector<Lookup> lookups;
    for (const auto& session : sessions)
        lookups.push_back({session.id, session.terminal.ownerPID, session.terminal.env});
    // The process walk reads /proc, the window queries wait on the X server and tmux is a child
    // process: on a worker, each owner resolved once a pass.
    runOnWorker<Sight>(
        this,
        [&binder = m_services.binder, &windows = m_services.windows, lookups = std::move(lookups)] {
            Sight sight;
            sight.active = windows.activeWindow();
            if (!sight.active)
                return sight;
            std::map<std::int64_t, std::optional<RunningApp>> owners;
            for (const auto& lookup : lookups) {
                std::optional<RunningApp> app;
                if (lookup.ownerPID) {
                    auto [found, inserted] = owners.try_emplace(*lookup.ownerPID);
                    if (inserted)
                        found->second = binder.resolveApp(*lookup.ownerPID);
                    app = found->second;
                }
                // A pane's processes descend from the tmux server: its terminal is a client's, and
                // the session is in view only while that client shows its pane.
                if (!app && Tmux::pane(lookup.env)) {
                    if (const auto view = binder.resolveTmuxView(lookup.env)) {
                        if (view->showsPane)
                            app = RunningApp{view->terminal.pid, view->terminal.bundleID, view->terminal.name,
                                             true};
                        else if (view->terminal.pid == sight.active->pid)
                            sight.tmuxClientInFront = true;
                    }
                }
                sight.apps[lookup.id] = std::move(app);
            }
            if (windows.canListWindows())
                sight.windowCount = static_cast<int>(windows.windowsOf(sight.active->pid).size());
            return sight;
        },
        [this, generation = m_generation](Sight sight) {
            if (generation == m_generation && m_watching)
                observe(sight);
        },
        m_services.workers);
}

void GlanceWatcher::observe(const Sight& sight)
{
    std::vector<Session> candidates;
    std::optional<RunningApp> terminal;
    for (const auto& session : unreadFinished(m_services.store)) {
        const auto app = sight.apps.find(session.id);
        if (sight.active && app != sight.apps.end() && app->second && app->second->pid == sight.active->pid) {
            candidates.push_back(session);
            terminal = app->second;
        }
    }
    if (candidates.empty() && !sight.tmuxClientInFront)
        return stopWatching();
    if (candidates.empty()) {
        // Another pane breaks the look as another window would.
        m_dwell->observe(std::nullopt, m_services.clock.monotonic());
        return scheduleNextPass();
    }

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
    scheduleNextPass();
}

void GlanceWatcher::scheduleNextPass()
{
    m_timer =
        ScheduledTimer(m_services.scheduler, m_services.scheduler.schedule(pollInterval, [this] { pass(); }));
}

} // namespace velquist
