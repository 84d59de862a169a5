#pragma once

#include "Actions/TerminalJumper.h"
#include "Core/Session.h"

#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <optional>

namespace velquist {

class JumpRuleStore;
class MultiplexerFocus;
class Scheduler;
class TerminalBinder;
class TerminalFocusRegistry;
class UrlOpener;
class WindowSystem;

// Brings the terminal window, tab or pane a session runs in to the front, trying the most exact
// means first: the tmux pane, the user's jump rule, the terminal's own strategy, then the window
// whose title names the session. Child processes and process-tree walks run on workers and waits
// on the scheduler, so the main thread never blocks. One jump at a time: a new one cancels the
// one still running. A step of it already at work elsewhere (a terminal's remote control, a tmux
// command, a window request) cannot be called back and may bring its window forward whenever it
// gets there, so the new jump starts once that step has answered: the surface the user asked for
// last is the one left in front. Main thread.
class JumpController final : public QObject, public TerminalJumper
{
    Q_OBJECT

  public:
    struct Services
    {
        const TerminalBinder& binder;
        WindowSystem& windows;
        MultiplexerFocus& multiplexer;
        TerminalFocusRegistry& strategies;
        UrlOpener& urls;
        Scheduler& scheduler;
    };

    static constexpr std::chrono::milliseconds activationPoll{100};
    static constexpr int activationPolls = 15;
    static constexpr std::chrono::milliseconds raiseSettle{200};

    explicit JumpController(Services services, QObject* parent = nullptr);
    ~JumpController() override;

    // The user's rules; none until start-up has made the store.
    void setRules(const JumpRuleStore* rules);

    // Starts a jump and returns at once.
    void jump(const Session& session) override;
    // Starts a jump; `done` gets whether the session's surface ended up in front, after
    // `noTerminal` (when set) where no terminal was found for the session at all. A jump cancelled
    // by a later one calls neither.
    void focus(const Session& session, std::function<void(bool)> done, std::function<void()> noTerminal = {});

  Q_SIGNALS:
    // A jump to the session begins.
    void jumpStarted(const std::string& sessionId);

  private:
    class Run;
    struct Request
    {
        Session session;
        std::function<void(bool)> done;
        std::function<void()> noTerminal;
    };

    void start(Request request);
    // Starts the jump that waited for a cancelled one, if any.
    void startWaiting();

    Services m_services;
    QPointer<const JumpRuleStore> m_rules;
    QPointer<Run> m_run;
    std::optional<Request> m_waiting;
};

} // namespace velquist
