#include "Terminal/MultiplexerFocus.h"

#include "Core/Session.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"

namespace velquist {

MultiplexerFocus::MultiplexerFocus(Tmux& tmux) : m_tmux(tmux) {}

bool MultiplexerFocus::focusTmuxPane(const TerminalEnvironment& env)
{
    const auto pane = Tmux::pane(env);
    if (!pane)
        return false;
    const auto tmux = m_tmux.executable();
    if (!tmux)
        return false;
    bool selected = false;
    // switch-client fails when no client is attached; the window and pane are still worth selecting
    // for the next client that attaches.
    for (const char* command : {"switch-client", "select-window", "select-pane"}) {
        if (m_tmux.run(*tmux, env, {command, "-t", *pane}).succeeded())
            selected = true;
    }
    Log::debug("focus", "tmux pane " + *pane + (selected ? " selected" : " not selected"));
    return selected;
}

void MultiplexerFocus::focusTmuxPane(const TerminalEnvironment& env, QObject* context,
                                     std::function<void(bool)> done)
{
    runOnWorker<bool>(
        context, [this, env] { return focusTmuxPane(env); }, std::move(done));
}

bool MultiplexerFocus::focusTmuxPane(const Session& session)
{
    return focusTmuxPane(session.terminal.env);
}

void MultiplexerFocus::focusTmuxPane(const Session& session, QObject* context, std::function<void(bool)> done)
{
    focusTmuxPane(session.terminal.env, context, std::move(done));
}

} // namespace velquist
