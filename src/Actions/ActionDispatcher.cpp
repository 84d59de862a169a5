#include "Actions/ActionDispatcher.h"

#include "Core/SessionStore.h"
#include "Core/StoredForm.h"
#include "Shared/Log.h"

#include <QMetaObject>

namespace velquist {

ActionDispatcher::ActionDispatcher(const Clock& clock, Collaborators collaborators, QObject* parent)
    : QObject(parent), m_clock(clock), m_collaborators(collaborators)
{
}

void ActionDispatcher::perform(const ControlAction& action, const Session& session)
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_collaborators.tapSound)
                m_collaborators.tapSound->playTap();
        },
        Qt::QueuedConnection);
    if (SessionStore::isDemonstration(session.id)) {
        // Any answer on the demonstration session moves the introduction on.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_collaborators.intro)
                    m_collaborators.intro->userClickedAllow();
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, action, session] { performNow(action, session); }, Qt::QueuedConnection);
}

void ActionDispatcher::performNow(const ControlAction& action, const Session& session)
{
    // The request's identity (when it began asking) is part of the key, so the same button on
    // the session's next request is not taken for a repeat.
    std::string key = session.id + ":" + action.describe();
    if (session.attentionSince)
        key += "@" + std::to_string(StoredForm::encodeDate(*session.attentionSince));
    const auto now = m_clock.monotonic();
    if (m_lastDispatch && m_lastDispatch->key == key && now - m_lastDispatch->at < kRepeatWindow) {
        Log::debug("dispatch", action.describe() + ": debounced");
        return;
    }
    m_lastDispatch = Dispatch{key, now};
    if (DecisionResolver* channel = resolver(session.agent);
        channel && channel->resolveDecision(action, session.id))
        return;
    Log::debug("dispatch", action.describe() + ": no decision channel, jumping to terminal");
    if (TerminalJumper* jumper = m_collaborators.jumper) {
        QMetaObject::invokeMethod(
            this, [jumper, session] { jumper->jump(session); }, Qt::QueuedConnection);
    }
}

void ActionDispatcher::registerResolver(AgentKind kind, DecisionResolver* resolver)
{
    m_resolvers[kind] = resolver;
}

DecisionResolver* ActionDispatcher::resolver(AgentKind kind) const
{
    const auto found = m_resolvers.find(kind);
    return found == m_resolvers.end() ? nullptr : found->second;
}

} // namespace velquist
