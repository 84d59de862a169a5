#include "Terminal/TerminalRebinder.h"

#include "Core/SessionStore.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Terminal/TerminalBinder.h"

#include <vector>

namespace velquist {

namespace {

// Only a session inside tmux can gain a terminal later: elsewhere the terminal is an ancestor of
// the agent, there from the start.
bool needsLookUp(const Session& session)
{
    return !session.terminal.appName && Tmux::pane(session.terminal.env);
}

} // namespace

TerminalRebinder::TerminalRebinder(SessionStore& store, const TerminalBinder& binder, QThreadPool* workers,
                                   QObject* parent)
    : QObject(parent), m_store(store), m_binder(binder), m_workers(workers)
{
}

void TerminalRebinder::lookUpAll()
{
    std::vector<std::string> ids;
    for (const auto& [id, session] : m_store.sessions()) {
        if (needsLookUp(session))
            ids.push_back(id);
    }
    for (const auto& id : ids)
        lookUp(id);
}

void TerminalRebinder::lookUp(const std::string& id)
{
    const Session* session = m_store.session(id);
    if (!session || !needsLookUp(*session) || !m_looking.insert(id).second)
        return;
    runOnWorker<std::optional<TerminalBinder::Candidate>>(
        this, [&binder = m_binder, env = session->terminal.env] { return binder.resolveTmuxHost(env); },
        [this, id](std::optional<TerminalBinder::Candidate> found) {
            m_looking.erase(id);
            const Session* current = m_store.session(id);
            if (!found || !current || current->terminal.appName)
                return;
            Log::debug("focus", "terminal of " + id + " found late: " + found->bundleID);
            m_store.update(id, [&](Session& s) {
                s.terminal.appName = found->name.value_or(found->bundleID);
                s.terminal.bundleID = found->bundleID;
            });
        },
        m_workers);
}

} // namespace velquist
