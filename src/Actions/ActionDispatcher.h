#pragma once

#include "Actions/ControlAction.h"
#include "Actions/DecisionResolver.h"
#include "Actions/IntroAllowHook.h"
#include "Actions/TapSound.h"
#include "Actions/TerminalJumper.h"
#include "Core/Session.h"
#include "Platform/Clock.h"
#include "Shared/AgentKind.h"

#include <QObject>
#include <map>
#include <optional>
#include <string>

namespace velquist {

// The services the dispatcher tells besides the decision channels; each is skipped when absent.
// All must outlive the dispatcher.
struct DispatchCollaborators
{
    TapSound* tapSound = nullptr;
    IntroAllowHook* intro = nullptr;
    TerminalJumper* jumper = nullptr;
};

// Where the panel's decisions go: a short sound, the introduction for its demonstration session,
// a filter against an accidental repeat, then the resolver of the session's agent kind, or the
// session's terminal when no resolver takes the decision. Main thread.
class ActionDispatcher final : public QObject
{
    Q_OBJECT
  public:
    using Collaborators = DispatchCollaborators;

    explicit ActionDispatcher(const Clock& clock, Collaborators collaborators = {},
                              QObject* parent = nullptr);

    // Returns at once; the work runs from the event loop.
    void perform(const ControlAction& action, const Session& session);
    // The decision path itself (filter, resolver, terminal), run by `perform`.
    void performNow(const ControlAction& action, const Session& session);

    // Registers the decision channel of an agent kind; a later one replaces the earlier. The
    // resolver must outlive the dispatcher or be replaced first.
    void registerResolver(AgentKind kind, DecisionResolver* resolver);
    DecisionResolver* resolver(AgentKind kind) const;

    // A repeat of the same action on the same request within this window is dropped.
    static constexpr std::chrono::milliseconds kRepeatWindow{2500};

  private:
    const Clock& m_clock;
    const Collaborators m_collaborators;
    std::map<AgentKind, DecisionResolver*> m_resolvers;
    struct Dispatch
    {
        std::string key;
        Clock::Monotonic at;
    };
    std::optional<Dispatch> m_lastDispatch;
};

} // namespace velquist
