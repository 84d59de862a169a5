#include "Adapters/HookHousekeeping.h"

#include "Adapters/EngineProfile.h"
#include "Core/SessionStore.h"
#include "Ingestion/HookInstaller.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"
#include "Shared/ProcessTree.h"

#include <limits>
#include <vector>

namespace velquist {

namespace {

// The owner counts as gone only when the system says there is no such process; an id that cannot
// be a process id is no owner at all.
bool ownerIsGone(const std::optional<std::int64_t>& ownerPID)
{
    if (!ownerPID || *ownerPID < 2 || *ownerPID > std::numeric_limits<std::int32_t>::max())
        return false;
    return !ProcessTree::isAlive(static_cast<pid_t>(*ownerPID));
}

} // namespace

HookHousekeeping::HookHousekeeping(SessionStore& store, AgentEngine engine, const EngineProfile& profile,
                                   Services services, Owner& owner)
    : m_store(store), m_engine(std::move(engine)), m_profile(profile), m_services(services), m_owner(owner)
{
}

HookHousekeeping::~HookHousekeeping() = default;

void HookHousekeeping::start()
{
    m_tick = ScheduledTimer(m_services.scheduler,
                            m_services.scheduler.scheduleRepeating(kCleanupInterval, [this] { tick(); }));
}

void HookHousekeeping::stop()
{
    m_timers.clear();
    m_tick.cancel();
}

bool HookHousekeeping::isStale(const Session& session, Clock::WallTime now)
{
    return session.updatedAt < now - kStaleSessionAge || ownerIsGone(session.terminal.ownerPID);
}

void HookHousekeeping::armIdleDoneIfNeeded(const std::string& key)
{
    if (!m_profile.infersDoneWhenIdle())
        return;
    const Session* session = m_store.session(key);
    if (!session || !session->status.is<SessionStatus::Working>()) {
        if (const auto found = m_timers.find(key); found != m_timers.end()) {
            found->second.idleDone.cancel();
            dropIfIdle(key);
        }
        return;
    }
    m_timers[key].idleDone =
        ScheduledTimer(m_services.scheduler,
                       m_services.scheduler.schedule(kIdleDoneDelay, [this, key] { idleDelayPassed(key); }));
}

bool HookHousekeeping::hasIdleDoneTimer(const std::string& key) const
{
    const auto found = m_timers.find(key);
    return found != m_timers.end() && found->second.idleDone.isActive();
}

void HookHousekeeping::scheduleEndedRemoval(const std::string& key)
{
    m_timers[key].endedRemoval = ScheduledTimer(
        m_services.scheduler,
        m_services.scheduler.schedule(kEndedRemovalDelay, [this, key] { removeIfStillEnded(key); }));
}

void HookHousekeeping::forget(const std::string& key)
{
    m_timers.erase(key);
}

// A session's entry goes once neither of its timers is armed.
void HookHousekeeping::dropIfIdle(const std::string& key)
{
    const auto found = m_timers.find(key);
    if (found != m_timers.end() && !found->second.idleDone.isActive() &&
        !found->second.endedRemoval.isActive())
        m_timers.erase(found);
}

void HookHousekeeping::idleDelayPassed(const std::string& key)
{
    // Dropping the entry destroys the timer whose callback runs now; the key is copied first.
    const std::string id = key;
    if (const auto found = m_timers.find(id); found != m_timers.end()) {
        found->second.idleDone = {};
        dropIfIdle(id);
    }
    const Session* session = m_store.session(id);
    if (!session || !session->status.is<SessionStatus::Working>())
        return;
    Log::debug("done", Log::shortId(id) + " quiet for 25 s");
    m_owner.idleDone(id);
}

// An event after the end may have brought the session back; then it stays.
void HookHousekeeping::removeIfStillEnded(const std::string& key)
{
    const std::string id = key;
    if (const auto found = m_timers.find(id); found != m_timers.end()) {
        found->second.endedRemoval = {};
        dropIfIdle(id);
    }
    if (const Session* session = m_store.session(id); session && session->status.is<SessionStatus::Ended>())
        m_store.remove(id);
}

void HookHousekeeping::tick()
{
    removeStaleSessions();
    healHooksIfNeeded();
}

// Only this agent's sessions: another adapter's sessions carry tailers and held requests that
// only that adapter can let go of.
void HookHousekeeping::removeStaleSessions()
{
    const auto now = m_services.clock.now();
    const std::string prefix = m_engine.idNamespace + ":";
    std::vector<std::string> stale;
    for (const auto& [key, session] : m_store.sessions()) {
        if (key.starts_with(prefix) && session.agent == m_engine.kind && isStale(session, now))
            stale.push_back(key);
    }
    for (const auto& key : stale) {
        Log::debug("cleanup", "removing stale session " + Log::shortId(key));
        m_owner.forgetSession(key);
        forget(key);
        m_store.remove(key);
    }
}

// The agent's configuration is read on a worker; hooks found missing are put back from here.
void HookHousekeeping::healHooksIfNeeded()
{
    if (++m_ticks % kHealEveryTicks != 0 || m_healing)
        return;
    std::optional<HookInstallTarget> target;
    try {
        target = m_profile.installTarget();
    } catch (const std::exception& error) {
        Log::debug("hooks", std::string("healing failed: ") + error.what());
        return;
    }
    m_healing = true;
    runOnWorker<bool>(
        this,
        [target = *target] {
            try {
                return HookInstaller::hooksInstalled(target);
            } catch (const std::exception& error) {
                // The next tenth tick tries again.
                Log::debug("hooks", std::string("healing failed: ") + error.what());
                return true;
            }
        },
        [this, target = *target](bool installed) {
            m_healing = false;
            if (installed)
                return;
            Log::debug("hooks", "reinstalling missing " + m_engine.idNamespace + " hooks");
            try {
                HookInstaller::installHooks(target);
            } catch (const std::exception& error) {
                Log::debug("hooks", std::string("healing failed: ") + error.what());
            }
        },
        m_services.workers);
}

} // namespace velquist
