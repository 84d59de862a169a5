#include "Adapters/UnservedSessionSweep.h"

#include "Adapters/HookHousekeeping.h"
#include "Core/SessionStore.h"
#include "Platform/Clock.h"
#include "Shared/AgentCatalog.h"
#include "Shared/Log.h"

#include <vector>

namespace velquist {

namespace {

// The agents whose sessions an adapter follows: the hooked ones and OpenCode. Sessions of other
// origins (the demonstration, the fallback detector) are left to whoever made them.
bool isFollowedAgent(std::string_view idNamespace)
{
    return idNamespace == "opencode" || AgentCatalog::find(idNamespace) != nullptr;
}

} // namespace

UnservedSessionSweep::UnservedSessionSweep(SessionStore& store, Clock& clock, Scheduler& scheduler,
                                           std::set<std::string> served)
    : m_store(store), m_clock(clock), m_scheduler(scheduler), m_served(std::move(served))
{
}

void UnservedSessionSweep::start()
{
    m_tick = ScheduledTimer(
        m_scheduler, m_scheduler.scheduleRepeating(HookHousekeeping::kCleanupInterval, [this] { sweep(); }));
}

void UnservedSessionSweep::stop()
{
    m_tick.cancel();
}

void UnservedSessionSweep::sweep()
{
    const auto now = m_clock.now();
    std::vector<std::string> stale;
    for (const auto& [key, session] : m_store.sessions()) {
        const auto colon = key.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string idNamespace = key.substr(0, colon);
        if (!isFollowedAgent(idNamespace) || m_served.contains(idNamespace))
            continue;
        if (HookHousekeeping::isStale(session, now))
            stale.push_back(key);
    }
    for (const auto& key : stale) {
        Log::debug("cleanup", "removing stale session of an agent not followed: " + Log::shortId(key));
        m_store.remove(key);
    }
}

} // namespace velquist
