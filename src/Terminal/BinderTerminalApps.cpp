#include "Terminal/BinderTerminalApps.h"

#include "Platform/WorkerTask.h"
#include "Terminal/TerminalBinder.h"

#include <QPointer>

namespace velquist {

BinderTerminalApps::BinderTerminalApps(const TerminalBinder& binder, QObject* parent)
    : QObject(parent), m_binder(binder)
{
}

std::optional<std::optional<RunningApp>> BinderTerminalApps::cached(std::int64_t ownerPID) const
{
    const auto found = m_apps.find(ownerPID);
    if (found == m_apps.end())
        return std::nullopt;
    return found->second;
}

void BinderTerminalApps::lookUp(std::int64_t ownerPID, QObject* context, std::function<void()> done)
{
    QPointer<QObject> caller(context);
    const TerminalBinder* binder = &m_binder;
    runOnWorker<std::optional<RunningApp>>(
        this, [binder, ownerPID] { return binder->resolveApp(ownerPID); },
        [this, ownerPID, caller, done = std::move(done)](std::optional<RunningApp> app) {
            if (m_apps.size() >= capacity)
                m_apps.clear();
            m_apps[ownerPID] = std::move(app);
            if (caller && done)
                done();
        });
}

} // namespace velquist
