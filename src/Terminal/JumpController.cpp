#include "Terminal/JumpController.h"

#include "Core/Scheduler.h"
#include "Platform/UrlOpener.h"
#include "Platform/WindowSystem.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Terminal/JumpRuleStore.h"
#include "Terminal/MultiplexerFocus.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "Terminal/WindowMatching.h"

#include <type_traits>

namespace velquist {

namespace {

void trace(const std::string& message)
{
    Log::debug("focus", message);
}

} // namespace

// One jump: its session, the application found for it, and its pending timer. Deleting it
// cancels whatever it still waits for.
class JumpController::Run final : public QObject
{
  public:
    Run(JumpController& controller, Session session, std::function<void(bool)> done,
        std::function<void()> noTerminal)
        : QObject(&controller), m_controller(controller), m_services(controller.m_services),
          m_session(std::move(session)), m_done(std::move(done)), m_noTerminal(std::move(noTerminal))
    {
    }

    void start()
    {
        const auto& terminal = m_session.terminal;
        if (!terminal.ownerPID && !Tmux::pane(terminal.env))
            return notFound();
        runOnWorker<std::optional<RunningApp>>(
            this,
            [&binder = m_services.binder, ownerPID = terminal.ownerPID,
             env = terminal.env]() -> std::optional<RunningApp> {
                if (ownerPID) {
                    if (auto app = binder.resolveApp(*ownerPID))
                        return app;
                }
                // A pane's processes descend from the tmux server: the terminal is the client showing it.
                if (const auto host = binder.resolveTmuxHost(env))
                    return RunningApp{host->pid, host->bundleID, host->name, true};
                return std::nullopt;
            },
            resume<std::optional<RunningApp>>([this](std::optional<RunningApp> app) {
                if (!app)
                    return notFound();
                m_app = std::move(*app);
                activate();
            }));
    }

    // Stops the jump: nothing more of it happens and neither of its callbacks is called. True when
    // a step of it is still at work elsewhere; the run then ends (and is deleted) once that step
    // answers. Otherwise the caller deletes it.
    bool cancel()
    {
        m_cancelled = true;
        m_done = nullptr;
        m_noTerminal = nullptr;
        m_timer.cancel();
        return m_atWork;
    }

    bool isFinished() const { return m_finished; }

  private:
    // The continuation of a step that works elsewhere and answers through `then`: until it answers
    // the run is at work, and a run cancelled meanwhile ends there instead of going on.
    template <typename Answer>
    std::function<void(Answer)> resume(std::type_identity_t<std::function<void(Answer)>> then)
    {
        m_atWork = true;
        return [this, then = std::move(then)](Answer answer) {
            m_atWork = false;
            if (m_cancelled)
                return finish(false);
            then(std::move(answer));
        };
    }

    std::string appName() const { return m_app.localizedName.value_or("?"); }
    std::string folder() const { return WindowMatching::folderName(m_session.cwd); }

    // Window-system queries wait on the X server, which a loaded desktop can make slow: they run on
    // a worker and the chain goes on from the answer.
    template <typename Result>
    void ask(std::function<Result(WindowSystem&)> question, std::function<void(Result)> then)
    {
        runOnWorker<Result>(
            this,
            [&windows = m_services.windows, question = std::move(question)] { return question(windows); },
            resume<Result>(std::move(then)));
    }

    static bool frontmost(const WindowSystem& windows, pid_t pid)
    {
        const auto active = windows.activeWindow();
        return active && active->pid == pid;
    }

    void activate()
    {
        enum class Outcome { inFront, requested, noWindow };
        ask<Outcome>(
            [pid = m_app.pid](WindowSystem& windows) {
                if (frontmost(windows, pid))
                    return Outcome::inFront;
                const auto list = windows.windowsOf(pid);
                return !list.empty() && windows.activate(list.front().id) ? Outcome::requested
                                                                          : Outcome::noWindow;
            },
            [this](Outcome outcome) {
                if (outcome == Outcome::inFront)
                    return selectPane();
                if (outcome == Outcome::noWindow) {
                    trace(appName() + " has no window that can be brought to the front");
                    return finish(false);
                }
                waitUntilFrontmost();
            });
    }

    void waitUntilFrontmost()
    {
        ask<bool>([pid = m_app.pid](WindowSystem& windows) { return frontmost(windows, pid); },
                  [this](bool inFront) {
                      if (inFront)
                          return selectPane();
                      if (m_polls++ == activationPolls) {
                          trace(appName() + " did not activate");
                          return finish(false);
                      }
                      m_timer = ScheduledTimer(
                          m_services.scheduler,
                          m_services.scheduler.schedule(activationPoll, [this] { waitUntilFrontmost(); }));
                  });
    }

    void selectPane()
    {
        // Whatever tmux did, the pane may still sit in a tab that the later stages select.
        m_services.multiplexer.focusTmuxPane(m_session, this, resume<bool>([this](bool) { applyRule(); }));
    }

    void applyRule()
    {
        const JumpRuleStore* rules = m_controller.m_rules;
        const auto rule = rules ? rules->rule(m_app.identifier) : std::nullopt;
        const auto url = rule ? rule->url(m_session) : std::nullopt;
        if (!url)
            return useStrategy();
        trace("opening custom jump URL " + JumpRule::scheme(*url).value_or("?") + "://…");
        m_services.urls.open(*url, this, resume<bool>([this](bool opened) {
            if (opened)
                return finish(true);
            trace("custom jump URL was not opened");
            useStrategy();
        }));
    }

    void useStrategy()
    {
        TerminalFocusStrategy* strategy = m_services.strategies.strategy(m_app.identifier);
        if (!strategy)
            return matchWindow();
        strategy->focus(m_session, m_app, this, resume<bool>([this](bool focused) {
                            if (focused) {
                                trace(m_app.identifier + " strategy focused the surface");
                                return finish(true);
                            }
                            trace(m_app.identifier + " strategy could not focus, falling back");
                            matchWindow();
                        }));
    }

    void matchWindow()
    {
        struct Windows
        {
            bool readable = false;
            std::vector<WindowInfo> list;
        };
        ask<Windows>(
            [pid = m_app.pid](WindowSystem& windows) {
                return windows.canListWindows() ? Windows{true, windows.windowsOf(pid)} : Windows{};
            },
            [this](Windows windows) { chooseWindow(windows.readable, windows.list); });
    }

    void chooseWindow(bool readable, const std::vector<WindowInfo>& list)
    {
        if (!readable) {
            trace("windows cannot be read - " + appName() + " is frontmost but its window cannot be chosen");
            return finish(false);
        }
        // X11 knows no tabs and no window's folder: of the finer stages only the titles are left.
        trace("no tab bar to search (windows=" + std::to_string(list.size()) + ", tabs=-1)");
        if (list.size() <= 1)
            return finish(true);
        std::vector<std::optional<std::string>> titles;
        for (const auto& window : list)
            titles.push_back(window.title);
        const auto chosen = WindowMatching::uniqueWindowMatch(titles, {folder(), "claude", "\u2733"});
        if (!chosen) {
            trace("no unique title match among " + std::to_string(list.size()) +
                  " windows, staying hands-off");
            return finish(false);
        }
        const WindowId target = list[*chosen].id;
        ask<bool>([target](WindowSystem& windows) { return windows.activate(target); },
                  [this, target](bool requested) {
                      if (!requested)
                          return finish(false);
                      m_timer = ScheduledTimer(m_services.scheduler,
                                               m_services.scheduler.schedule(raiseSettle, [this, target] {
                                                   ask<bool>(
                                                       [target](WindowSystem& windows) {
                                                           const auto active = windows.activeWindow();
                                                           return active && active->id == target;
                                                       },
                                                       [this](bool inFront) { finish(inFront); });
                                               }));
                  });
    }

    // Neither the owner's ancestors nor a tmux client lead to a terminal: its window was closed,
    // or the session never had one that shows windows.
    void notFound()
    {
        trace("no terminal found for " + Log::shortId(m_session.id));
        if (auto noTerminal = std::exchange(m_noTerminal, nullptr)) {
            const QPointer<Run> self(this);
            noTerminal();
            if (!self)
                return;
        }
        finish(false);
    }

    void finish(bool focused)
    {
        m_finished = true;
        m_timer.cancel();
        // A jump that waited for this cancelled one starts now.
        if (m_cancelled)
            QMetaObject::invokeMethod(
                &m_controller, [controller = &m_controller] { controller->startWaiting(); },
                Qt::QueuedConnection);
        // `done` may start the next jump, which deletes this one.
        const QPointer<Run> self(this);
        if (auto done = std::exchange(m_done, nullptr))
            done(focused);
        if (self)
            deleteLater();
    }

    JumpController& m_controller;
    const Services& m_services;
    const Session m_session;
    std::function<void(bool)> m_done;
    std::function<void()> m_noTerminal;
    RunningApp m_app;
    ScheduledTimer m_timer;
    int m_polls = 0;
    bool m_atWork = false;
    bool m_cancelled = false;
    bool m_finished = false;
};

JumpController::JumpController(Services services, QObject* parent) : QObject(parent), m_services(services) {}

JumpController::~JumpController() = default;

void JumpController::setRules(const JumpRuleStore* rules)
{
    m_rules = rules;
}

void JumpController::jump(const Session& session)
{
    focus(session, [](bool) {});
}

void JumpController::focus(const Session& session, std::function<void(bool)> done,
                           std::function<void()> noTerminal)
{
    Q_EMIT jumpStarted(session.id);
    Request request{session, std::move(done), std::move(noTerminal)};
    // A click on another session means the user wants that one now. A jump waiting for a cancelled
    // one is replaced as well, without a word, as a cancelled one is.
    if (m_run && !m_run->cancel())
        delete m_run.data();
    if (m_run) {
        m_waiting = std::move(request);
        return;
    }
    start(std::move(request));
}

void JumpController::start(Request request)
{
    m_run =
        new Run(*this, std::move(request.session), std::move(request.done), std::move(request.noTerminal));
    m_run->start();
}

void JumpController::startWaiting()
{
    if ((m_run && !m_run->isFinished()) || !m_waiting)
        return;
    Request request = std::move(*m_waiting);
    m_waiting.reset();
    start(std::move(request));
}

} // namespace velquist
