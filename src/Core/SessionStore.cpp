#include "Core/SessionStore.h"

#include "Platform/Clock.h"
#include "Shared/AgentCatalog.h"
#include "Shared/AppPaths.h"
#include "Shared/Log.h"
#include "Shared/ProcessTree.h"

#include <QThreadPool>
#include <algorithm>
#include <array>
#include <climits>
#include <span>

namespace velquist {

namespace {

using namespace std::chrono_literals;

constexpr std::array<std::string_view, 4> kNeverSaved = {"debug-", "detected:", "opencode:", "intro-"};
// Prefixes that already say where a session comes from, besides the hook agents' namespaces ("claude:",
// ...); a restored id with one of them is kept.
constexpr std::array<std::string_view, 5> kOtherKnownPrefixes = {"mock-", "intro-", "debug-",
                                                                 "opencode:", "detected:"};

bool hasKnownPrefix(const std::string& id)
{
    const auto starts = [&](std::string_view prefix) { return id.starts_with(prefix); };
    if (std::any_of(kOtherKnownPrefixes.begin(), kOtherKnownPrefixes.end(), starts))
        return true;
    const std::span<const AgentEntry> agents = AgentCatalog::all();
    return std::any_of(agents.begin(), agents.end(), [&](const AgentEntry& agent) {
        return id.size() > agent.idNamespace.size() && starts(agent.idNamespace) &&
               id[agent.idNamespace.size()] == ':';
    });
}

int displayRank(const SessionStatus& status)
{
    if (status.asksForUser())
        return 0;
    if (status.is<SessionStatus::Working>())
        return 1;
    if (status.is<SessionStatus::Done>())
        return 2;
    if (status.is<SessionStatus::Idle>())
        return 3;
    return 4;
}

bool isEnded(const Session& session)
{
    return session.status.is<SessionStatus::Ended>();
}

std::size_t kindIndex(AgentKind kind)
{
    return static_cast<std::size_t>(std::find(kAllAgentKinds.begin(), kAllAgentKinds.end(), kind) -
                                    kAllAgentKinds.begin());
}

std::unique_ptr<QThreadPool> ownSavePool()
{
    auto pool = std::make_unique<QThreadPool>();
    pool->setMaxThreadCount(1);
    return pool;
}

} // namespace

bool SessionStore::OrderKey::operator<(const OrderKey& other) const
{
    if (rank != other.rank)
        return rank < other.rank;
    if (updatedAt != other.updatedAt)
        return updatedAt > other.updatedAt;
    return id < other.id;
}

SessionStore::SessionStore(Clock& clock, Scheduler& scheduler, std::filesystem::path file,
                           SilenceRuleStore* silence, QThreadPool* saves, QObject* parent)
    : QObject(parent), m_clock(clock), m_scheduler(scheduler), m_ownPool(saves ? nullptr : ownSavePool()),
      m_file(file, saves ? *saves : *m_ownPool),
      m_ownSilence(silence ? nullptr
                           : std::make_unique<SilenceRuleStore>(file.parent_path() / kSilenceRulesFileName)),
      m_silence(silence ? silence : m_ownSilence.get())
{
    connect(m_silence, &SilenceRuleStore::rulesChanged, this, [this] {
        recheckSilence();
        announce(SessionChange{{}, true});
    });
    connect(m_silence, &SilenceRuleStore::revealsHiddenChanged, this, [this] {
        rebuildSummary();
        announce(SessionChange{{}, true});
    });
}

SessionStore::~SessionStore()
{
    flushSaves();
}

bool SessionStore::isDemonstration(const std::string& id)
{
    return id.starts_with("intro-");
}

bool SessionStore::isPersisted(const std::string& id)
{
    return std::none_of(kNeverSaved.begin(), kNeverSaved.end(),
                        [&](std::string_view prefix) { return id.starts_with(prefix); });
}

std::string SessionStore::namespacedID(const Session& session)
{
    if (hasKnownPrefix(session.id))
        return session.id;
    const AgentEntry* agent = AgentCatalog::find(session.agent);
    const std::string space(agent ? agent->idNamespace : toString(session.agent));
    if (session.id.starts_with(space + ":"))
        return session.id;
    return space + ":" + session.id;
}

const Session* SessionStore::session(const std::string& id) const
{
    const auto found = m_sessions.find(id);
    return found == m_sessions.end() ? nullptr : &found->second;
}

void SessionStore::restoreSessions()
{
    std::vector<std::string> changed;
    for (Session& session : m_file.load()) {
        if (isEnded(session) || !session.terminal.ownerPID)
            continue;
        const std::int64_t pid = *session.terminal.ownerPID;
        if (pid < 2 || pid > INT_MAX || !ProcessTree::isAlive(static_cast<pid_t>(pid)))
            continue;
        session.id = namespacedID(session);
        if (const auto found = m_sessions.find(session.id); found != m_sessions.end())
            unindex(found->second);
        index(session);
        changed.push_back(session.id);
        m_sessions.insert_or_assign(session.id, std::move(session));
    }
    if (!changed.empty())
        announce(SessionChange{std::move(changed), false});
}

bool SessionStore::isSilenced(const Session& session) const
{
    return m_silence->isSilenced(session.cwd, session.firstPrompt);
}

bool SessionStore::isDisplayed(const Session& session) const
{
    if (isEnded(session))
        return false;
    if (m_introIsRunning)
        return isDemonstration(session.id);
    return m_silence->revealsHidden() || !m_silenced.contains(session.id);
}

// While the introduction runs, its sessions show in the order of their ids.
std::vector<const Session*> SessionStore::displayOrder() const
{
    std::vector<const Session*> result;
    if (m_introIsRunning) {
        for (auto it = m_sessions.lower_bound("intro-"); it != m_sessions.end() && isDemonstration(it->first);
             ++it)
            if (!isEnded(it->second))
                result.push_back(&it->second);
        return result;
    }
    result.reserve(static_cast<std::size_t>(m_summary.displayed));
    for (const OrderKey& key : m_order) {
        if (key.rank == 4)
            break;
        const Session& session = m_sessions.at(key.id);
        if (isDisplayed(session))
            result.push_back(&session);
    }
    return result;
}

std::vector<Session> SessionStore::displaySessions() const
{
    std::vector<Session> result;
    for (const Session* session : displayOrder())
        result.push_back(*session);
    return result;
}

std::optional<Session> SessionStore::attentionSession() const
{
    if (m_introIsRunning) {
        for (const Session* session : displayOrder())
            if (session->status.asksForUser())
                return *session;
        return std::nullopt;
    }
    for (const OrderKey& key : m_order) {
        if (key.rank != 0)
            break;
        const Session& session = m_sessions.at(key.id);
        if (isDisplayed(session))
            return session;
    }
    return std::nullopt;
}

int SessionStore::hiddenCount() const
{
    if (m_introIsRunning)
        return 0;
    return static_cast<int>(std::count_if(m_silenced.begin(), m_silenced.end(), [&](const std::string& id) {
        return !isEnded(m_sessions.at(id));
    }));
}

int SessionStore::matchCount(const SilenceRule& rule) const
{
    return static_cast<int>(std::count_if(m_sessions.begin(), m_sessions.end(), [&](const auto& entry) {
        return !isEnded(entry.second) &&
               rule.matches(entry.second.cwd, entry.second.firstPrompt, m_silence->home());
    }));
}

bool SessionStore::realSessionHasBeenWaiting(double seconds) const
{
    const auto now = m_clock.now();
    return std::any_of(m_sessions.begin(), m_sessions.end(), [&](const auto& entry) {
        const Session& session = entry.second;
        if (isDemonstration(entry.first) || !session.status.asksForUser())
            return false;
        const double waited = session.attentionSince
                                  ? std::chrono::duration<double>(now - *session.attentionSince).count()
                                  : 0.0;
        return waited >= seconds;
    });
}

void SessionStore::update(const std::string& id, const std::function<void(Session&)>& change)
{
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end())
        return;
    Session session = found->second;
    const SessionStatus oldStatus = session.status;
    change(session);
    session.id = id;
    session.boundFreeText();
    const auto now = m_clock.now();
    session.updatedAt = now;
    const bool wasAsking = oldStatus.asksForUser();
    if (session.status.asksForUser()) {
        if (!wasAsking || !session.attentionSince)
            session.attentionSince = now;
    } else {
        session.attentionSince.reset();
    }
    const bool becameDone = session.status.is<SessionStatus::Done>() && !oldStatus.is<SessionStatus::Done>();
    if (becameDone)
        session.doneSeenAt.reset();
    const SessionStatus newStatus = session.status;
    // The lookup above may be stale by now only if `change` re-entered the store; store afresh.
    if (const auto current = m_sessions.find(id); current != m_sessions.end())
        unindex(current->second);
    index(session);
    m_sessions.insert_or_assign(id, std::move(session));
    announce(SessionChange{{id}, false});
    signalIfNeeded(id, oldStatus, newStatus);
    if (becameDone)
        Q_EMIT doneUnread();
    scheduleSave();
}

void SessionStore::upsert(Session session)
{
    session.boundFreeText();
    const std::string id = session.id;
    const bool isNew = m_sessions.find(id) == m_sessions.end();
    if (isNew)
        makeRoomForOneMore();
    if (const auto current = m_sessions.find(id); current != m_sessions.end())
        unindex(current->second);
    index(session);
    const bool silenced = m_silenced.contains(id);
    m_sessions.insert_or_assign(id, std::move(session));
    announce(SessionChange{{id}, false});
    if (isNew && !silenced && !isDemonstration(id))
        fire(AlertSignal::sessionStarted);
    scheduleSave();
}

void SessionStore::remove(const std::string& id)
{
    bool mayClear = false;
    if (const auto found = m_sessions.find(id); found != m_sessions.end() && !isDemonstration(id))
        mayClear = !m_silenced.contains(id) && found->second.status.asksForUser();
    bool removed = false;
    if (const auto found = m_sessions.find(id); found != m_sessions.end()) {
        unindex(found->second);
        m_sessions.erase(found);
        removed = true;
    }
    announce(SessionChange{{id}, false});
    if (removed)
        Q_EMIT sessionRemoved(id);
    if (mayClear && m_summary.asking == 0)
        fire(AlertSignal::cleared);
    scheduleSave();
}

void SessionStore::markDoneRead(const std::string& id)
{
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end() || !found->second.status.is<SessionStatus::Done>() ||
        found->second.doneSeenAt)
        return;
    count(found->second, -1);
    found->second.doneSeenAt = m_clock.now();
    count(found->second, +1);
    announce(SessionChange{{id}, false});
    scheduleSave();
}

void SessionStore::setIntroIsRunning(bool running)
{
    if (running == m_introIsRunning)
        return;
    m_introIsRunning = running;
    rebuildSummary();
    Q_EMIT introIsRunningChanged();
    announce(SessionChange{{}, true});
}

void SessionStore::announce(SessionChange change)
{
    Q_EMIT sessionsChanged();
    Q_EMIT sessionsTouched(change);
}

void SessionStore::index(const Session& session)
{
    m_order.insert(OrderKey{displayRank(session.status), session.updatedAt, session.id});
    if (isSilenced(session))
        m_silenced.insert(session.id);
    count(session, +1);
}

void SessionStore::unindex(const Session& session)
{
    count(session, -1);
    m_order.erase(OrderKey{displayRank(session.status), session.updatedAt, session.id});
    m_silenced.erase(session.id);
}

void SessionStore::count(const Session& session, int sign)
{
    if (!isDisplayed(session))
        return;
    const std::size_t kind = kindIndex(session.agent);
    m_summary.displayed += sign;
    if (session.status.asksForUser())
        m_summary.asking += sign;
    if (session.status.is<SessionStatus::Working>())
        m_summary.working += sign;
    if (kind < m_summary.perKind.size()) {
        m_summary.perKind[kind] += sign;
        const bool unseenDone = session.status.is<SessionStatus::Done>() && !session.doneSeenAt;
        if (session.status.asksForUser() || unseenDone)
            m_summary.waitingPerKind[kind] += sign;
    }
}

void SessionStore::rebuildSummary()
{
    m_summary = DisplaySummary{};
    for (const auto& [id, session] : m_sessions)
        count(session, +1);
}

void SessionStore::recheckSilence()
{
    m_silenced.clear();
    for (const auto& [id, session] : m_sessions)
        if (isSilenced(session))
            m_silenced.insert(id);
    rebuildSummary();
}

void SessionStore::signalIfNeeded(const std::string& id, const SessionStatus& oldStatus,
                                  const SessionStatus& newStatus)
{
    if (isDemonstration(id))
        return;
    if (m_silenced.contains(id))
        return;
    const bool wasAsking = oldStatus.asksForUser();
    const bool asks = newStatus.asksForUser();
    if (!wasAsking && asks)
        fire(AlertSignal::attention);
    else if (oldStatus.is<SessionStatus::Working>() && newStatus.is<SessionStatus::Done>())
        fire(AlertSignal::doneFlash);
    else if (wasAsking && !asks && m_summary.asking == 0)
        fire(AlertSignal::cleared);
}

void SessionStore::fire(AlertSignal signal)
{
    m_alertSignal = signal;
    ++m_alertRevision;
    Log::debug("store",
               "fired " + std::string(toString(signal)) + " revision=" + std::to_string(m_alertRevision));
    Q_EMIT alertRaised(signal);
}

void SessionStore::scheduleSave()
{
    if (m_persistenceDisabled)
        return;
    m_saveTimer = ScheduledTimer(m_scheduler, m_scheduler.schedule(1s, [this] { saveInBackground(); }));
}

void SessionStore::cancelPendingSave()
{
    m_saveTimer.cancel();
}

void SessionStore::disablePersistence()
{
    m_persistenceDisabled = true;
    m_saveTimer.cancel();
    // A save still queued on the pool would bring the file back.
    m_file.discard();
}

std::vector<Session> SessionStore::persistedSessions() const
{
    std::vector<Session> persisted;
    for (const auto& [id, session] : m_sessions) {
        if (isPersisted(id))
            persisted.push_back(session);
    }
    return persisted;
}

void SessionStore::saveNow()
{
    if (m_persistenceDisabled)
        return;
    m_saveTimer.cancel();
    m_file.write(persistedSessions());
}

// Only the copy is made here; the file encodes and writes it on the pool.
void SessionStore::saveInBackground()
{
    if (m_persistenceDisabled)
        return;
    m_file.writeInBackground(persistedSessions());
}

void SessionStore::flushSaves()
{
    m_file.flush();
}

// The oldest session that is not working or asking goes first; demonstration sessions stay. The
// display order ends with exactly those, so the victim is found from its back: the last key that
// is not a demonstration names the rank and date, and the first id with both goes.
void SessionStore::makeRoomForOneMore()
{
    while (m_sessions.size() >= kMaxLiveSessions) {
        auto last = m_order.rbegin();
        while (last != m_order.rend() && isDemonstration(last->id))
            ++last;
        if (last == m_order.rend())
            return;
        auto candidate = m_order.lower_bound(OrderKey{last->rank, last->updatedAt, std::string()});
        while (isDemonstration(candidate->id))
            ++candidate;
        const std::string victim = candidate->id;
        Log::debug("store", "too many sessions; dropping " + Log::shortId(victim));
        remove(victim);
    }
}

} // namespace velquist
