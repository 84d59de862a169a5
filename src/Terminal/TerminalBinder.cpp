#include "Terminal/TerminalBinder.h"

#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Shared/ProcessTree.h"

#include <limits>

namespace velquist {

namespace {

std::optional<pid_t> asPid(std::int64_t value)
{
    if (value < 1 || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<pid_t>(value);
}

} // namespace

TerminalBinder::TerminalBinder(const AppRegistry& registry, Tmux* tmux) : m_registry(registry), m_tmux(tmux)
{
}

std::optional<RunningApp> TerminalBinder::resolveApp(std::int64_t ownerPID) const
{
    const auto owner = asPid(ownerPID);
    if (!owner)
        return std::nullopt;
    std::vector<pid_t> chain{*owner};
    const auto ancestors = ProcessTree::ancestors(*owner, ancestorLimit);
    chain.insert(chain.end(), ancestors.begin(), ancestors.end());
    for (const pid_t pid : chain) {
        if (auto app = m_registry.application(pid); app && !app->identifier.empty())
            return app;
    }
    return std::nullopt;
}

std::optional<TerminalBinder::Candidate>
TerminalBinder::resolveHostApp(const std::vector<std::int64_t>& ancestorPIDs) const
{
    for (const std::int64_t value : ancestorPIDs) {
        const auto pid = asPid(value);
        if (!pid)
            continue;
        const auto app = m_registry.application(*pid);
        if (app && !app->identifier.empty() && app->isRegular)
            return Candidate{app->pid, app->identifier, app->localizedName};
    }
    return std::nullopt;
}

std::optional<TerminalBinder::Candidate> TerminalBinder::resolveTmuxHost(const TerminalEnvironment& env) const
{
    auto view = resolveTmuxView(env);
    if (!view)
        return std::nullopt;
    Log::debug("focus", "tmux pane " + *Tmux::pane(env) + " shown by " + view->terminal.bundleID);
    return std::move(view->terminal);
}

std::optional<TerminalBinder::TmuxView> TerminalBinder::resolveTmuxView(const TerminalEnvironment& env) const
{
    const auto pane = Tmux::pane(env);
    if (!m_tmux || !pane)
        return std::nullopt;
    for (const auto& client : m_tmux->clients(env)) {
        if (const auto app = resolveApp(client.pid))
            return TmuxView{{app->pid, app->identifier, app->localizedName}, client.pane == *pane};
    }
    return std::nullopt;
}

void TerminalBinder::resolveTmuxHost(const TerminalEnvironment& env, QObject* context,
                                     std::function<void(std::optional<Candidate>)> done) const
{
    runOnWorker<std::optional<Candidate>>(
        context, [this, env] { return resolveTmuxHost(env); }, std::move(done));
}

} // namespace velquist
