#pragma once

#include "Actions/ControlAction.h"
#include "Actions/DecisionResolver.h"
#include "Core/AgentKind.h"
#include "Core/Clock.h"
#include "Core/Session.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace velquist {

class SessionStore;

// Where the panel's decisions go: a short sound, the introduction for its demonstration session,
// a filter against an accidental repeat, then the resolver of the session's agent kind, or the
// session's terminal when no resolver takes the decision. Main thread.
class ActionDispatcher final : public QObject
{
    Q_OBJECT
  public:
    explicit ActionDispatcher(const Clock& clock, QObject* parent = nullptr);

    // Returns at once; the work runs from the event loop.
    void perform(const ControlAction& action, const Session& session);
    // The decision path itself (filter, resolver, terminal), run by `perform`.
    void performNow(const ControlAction& action, const Session& session);

    // Registers the decision channel of an agent kind; a later one replaces the earlier. The
    // resolver must outlive the dispatcher or be replaced first.
    void registerResolver(AgentKind kind, DecisionResolver* resolver);
    DecisionResolver* resolver(AgentKind kind) const;

    // The session store, for the settings window and the uninstaller.
    void setStore(SessionStore* store);
    SessionStore* store() const;

    // Wired at start-up to services built elsewhere; each is skipped while unset.
    std::function<void()> playTapSound;
    std::function<void()> introClickedAllow;
    std::function<void(const Session&)> jumpToTerminal;

    // A repeat of the same action on the same request within this window is dropped.
    static constexpr std::chrono::milliseconds kRepeatWindow{2500};

  private:
    const Clock& m_clock;
    QPointer<SessionStore> m_store;
    std::map<AgentKind, DecisionResolver*> m_resolvers;
    struct Dispatch
    {
        std::string key;
        Clock::Monotonic at;
    };
    std::optional<Dispatch> m_lastDispatch;
};

} // namespace velquist
