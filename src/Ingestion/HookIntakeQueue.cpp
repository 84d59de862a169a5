#include "Ingestion/HookIntakeQueue.h"

#include "Ingestion/SocketConnection.h"
#include "Shared/Log.h"

namespace velquist {

namespace {

using Name = HookEvent::Name;

// A tool call's start or end that only moves what the session is doing. A question or a plan
// asks something of the user and stays, whatever follows it.
bool plainToolEvent(const HookEvent& event)
{
    if (event.name != Name::preToolUse && event.name != Name::postToolUse)
        return false;
    if (event.decisionID || event.rawPlan || event.rawQuestionsJSON)
        return false;
    if (event.tool && event.tool->as<ToolDetail::Question>())
        return false;
    return event.toolName != "ExitPlanMode" && event.toolName != "AskUserQuestion";
}

// What a merged-away event told of the session's folder and terminal survives unless the newer one
// tells it again, as if both had been applied.
void absorbContext(HookEvent& newer, HookEvent&& older)
{
    const auto keep = [](auto& mine, auto&& theirs) {
        if (!mine)
            mine = std::move(theirs);
    };
    keep(newer.cwd, std::move(older.cwd));
    keep(newer.permissionMode, std::move(older.permissionMode));
    keep(newer.tty, std::move(older.tty));
    keep(newer.ttyOwnerPID, std::move(older.ttyOwnerPID));
    keep(newer.transcriptPath, std::move(older.transcriptPath));
    if (newer.terminalEnv.empty())
        newer.terminalEnv = std::move(older.terminalEnv);
    if (newer.ancestorPIDs.empty())
        newer.ancestorPIDs = std::move(older.ancestorPIDs);
}

} // namespace

HookIntakeQueue::HookIntakeQueue(Limits limits) : m_limits(limits) {}

bool HookIntakeQueue::mergeable(const HookEvent& older, const HookEvent& newer)
{
    // A tool's end settles a request held for that tool: only an end of the same tool replaces it.
    return plainToolEvent(older) && plainToolEvent(newer) && older.name == newer.name &&
           older.agentID == newer.agentID &&
           (newer.name == Name::preToolUse || older.toolName == newer.toolName);
}

HookIntakeQueue::SessionKey HookIntakeQueue::keyOf(const HookEvent& event)
{
    return event.engine + '\n' + event.sessionID;
}

bool HookIntakeQueue::wakeIfIdle()
{
    if (m_taking)
        return false;
    m_taking = true;
    return true;
}

bool HookIntakeQueue::push(std::uint64_t id, HookEvent event, Outcome* outcome)
{
    std::lock_guard lock(m_mutex);
    const SessionKey key = keyOf(event);
    auto& waiting = m_sessions[key];
    Outcome result = Outcome::queued;
    // The newest entry of the kind, or the one before it when a tool's start and end alternate:
    // the session's state after the pair is the same with the older of its kind gone.
    const std::size_t size = waiting.size();
    std::size_t replace = size;
    if (size >= 1 && mergeable(waiting[size - 1].event, event))
        replace = size - 1;
    else if (size >= 2 && mergeable(waiting[size - 2].event, event) &&
             plainToolEvent(waiting[size - 1].event) && waiting[size - 1].event.agentID == event.agentID)
        replace = size - 2;
    if (replace < size) {
        Entry older = std::move(waiting[replace]);
        waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(replace));
        absorbContext(event, std::move(older.event));
        --m_events;
        result = Outcome::merged;
    } else if (m_events >= m_limits.maxEvents) {
        if (waiting.empty())
            m_sessions.erase(key);
        // Counted, and told in one line per thousand, so a flood does not flood the log too.
        if (m_refused++ % 1000 == 0)
            Log::system("Velquist: hook events arrive faster than they are handled; " +
                        std::to_string(m_refused) + " dropped so far");
        if (outcome)
            *outcome = Outcome::refused;
        return false;
    }
    if (waiting.empty())
        m_order.push_back(key);
    waiting.push_back(Entry{id, std::move(event)});
    ++m_events;
    if (outcome)
        *outcome = result;
    return wakeIfIdle();
}

bool HookIntakeQueue::pushDecision(std::uint64_t id, HookEvent event,
                                   std::shared_ptr<SocketConnection> connection, Outcome* outcome)
{
    std::unique_lock lock(m_mutex);
    if (m_decisions.size() >= m_limits.maxDecisions) {
        lock.unlock();
        Log::system("Velquist: too many requests wait for a decision; one passed back to its agent");
        if (connection)
            connection->close();
        if (outcome)
            *outcome = Outcome::refused;
        return false;
    }
    m_decisions.push_back(Delivery{id, std::move(event), std::move(connection)});
    if (outcome)
        *outcome = Outcome::queued;
    return wakeIfIdle();
}

void HookIntakeQueue::takeSession(const SessionKey& key, Batch& batch)
{
    const auto found = m_sessions.find(key);
    if (found == m_sessions.end())
        return;
    for (auto& entry : found->second)
        batch.deliveries.push_back(Delivery{entry.id, std::move(entry.event), nullptr});
    m_events -= found->second.size();
    m_sessions.erase(found);
}

HookIntakeQueue::Batch HookIntakeQueue::take(std::size_t maxEvents)
{
    Batch batch;
    std::lock_guard lock(m_mutex);
    while (!m_decisions.empty()) {
        Delivery decision = std::move(m_decisions.front());
        m_decisions.pop_front();
        // Its session leaves the order with its events; a stale key left there finds nothing.
        takeSession(keyOf(decision.event), batch);
        batch.deliveries.push_back(std::move(decision));
    }
    while (!m_order.empty() && batch.deliveries.size() < maxEvents) {
        const SessionKey key = std::move(m_order.front());
        m_order.pop_front();
        takeSession(key, batch);
    }
    if (m_sessions.empty())
        m_order.clear();
    batch.more = !m_order.empty() || !m_decisions.empty();
    m_taking = batch.more;
    return batch;
}

void HookIntakeQueue::clear()
{
    std::deque<Delivery> decisions;
    {
        std::lock_guard lock(m_mutex);
        decisions.swap(m_decisions);
        m_sessions.clear();
        m_order.clear();
        m_events = 0;
        m_taking = false;
    }
    for (auto& decision : decisions) {
        if (decision.connection)
            decision.connection->close();
    }
}

std::size_t HookIntakeQueue::eventCount() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::size_t HookIntakeQueue::decisionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_decisions.size();
}

} // namespace velquist
