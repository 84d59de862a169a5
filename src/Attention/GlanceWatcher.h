#pragma once

#include "Attention/GlanceDwell.h"
#include "Attention/GlanceMatch.h"
#include "Core/Scheduler.h"
#include "Platform/AppRegistry.h"
#include "Platform/WindowSystem.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

class QThreadPool;

namespace velquist {

class Clock;
class SessionStore;
class TerminalBinder;

// Marks a finished session read once the user has looked at its terminal for a while. Idle (no
// timer, no work) unless the active window belongs to the terminal of an unread finished session;
// then it looks once a second at the active window and hands what it sees to the glance matcher.
// Main thread.
class GlanceWatcher final : public QObject
{
    Q_OBJECT

  public:
    struct Services
    {
        SessionStore& store;
        const TerminalBinder& binder;
        WindowSystem& windows;
        Scheduler& scheduler;
        const Clock& clock;
        // Where each pass looks; none uses Qt's global pool. It must outlive the passes.
        QThreadPool* workers = nullptr;
    };

    static constexpr std::chrono::milliseconds pollInterval{1000};
    static constexpr std::chrono::milliseconds dwell{2000};

    explicit GlanceWatcher(Services services, QObject* parent = nullptr);

    // Follows the active window from now on, and looks once.
    void start();
    // Stops following and watching.
    void stop();
    // Starts watching when there is something to watch; the session store calls it when a session
    // finishes unread.
    void reevaluate();

    bool isWatching() const { return m_watching; }

    // Terminals that show no tabs, so one window means one session's surface.
    static bool showsNoTabs(const std::string& identifier);

  private:
    // What one pass saw: the active window, the terminal application of each unread session (by
    // id; none where none was found, nor for a tmux session whose pane its terminal does not show
    // now), and how many windows the active window's application has (absent when they cannot be
    // read).
    struct Sight
    {
        std::optional<WindowInfo> active;
        std::map<std::string, std::optional<RunningApp>> apps;
        // The active window is the terminal of a tmux client showing another pane: switching panes
        // changes no window, so the watch goes on.
        bool tmuxClientInFront = false;
        std::optional<int> windowCount;
    };

    void restart();
    void stopWatching();
    void pass();
    void observe(const Sight& sight);
    void scheduleNextPass();

    Services m_services;
    bool m_started = false;
    bool m_watching = false;
    std::uint64_t m_generation = 0;
    std::optional<GlanceDwell> m_dwell;
    ScheduledTimer m_timer;
};

} // namespace velquist
