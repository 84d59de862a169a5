#include "Adapters/DecisionDesk.h"

#include "Shared/Log.h"

namespace velquist {

DecisionDesk::DecisionDesk(HangUpHandler onHangUp) : m_onHangUp(std::move(onHangUp)) {}

DecisionDesk::~DecisionDesk()
{
    // A request that someone else still holds must not call back into a desk that has gone.
    for (auto& [key, held] : m_held)
        held.reply->setOnHangUp({});
}

void DecisionDesk::hold(const std::string& key, std::shared_ptr<DecisionReply> reply, SessionStatus before)
{
    if (!reply)
        return;
    if (const auto earlier = m_held.find(key); earlier != m_held.end())
        before = earlier->second.before;
    cancel(key);
    const DecisionReply* held = reply.get();
    // A client that gives up waiting, or is killed with its agent, takes the request with it.
    reply->setOnHangUp([this, key, held] { hungUp(key, held); });
    m_held.insert_or_assign(key, Held{std::move(reply), std::move(before)});
}

bool DecisionDesk::holds(const std::string& key) const
{
    return m_held.contains(key);
}

const HookEvent* DecisionDesk::answerable(const std::string& key)
{
    const auto found = m_held.find(key);
    if (found == m_held.end())
        return nullptr;
    if (!found->second.reply->isOpen()) {
        m_held.erase(found);
        return nullptr;
    }
    return &found->second.reply->event();
}

bool DecisionDesk::answer(const std::string& key, std::string_view reply)
{
    const auto found = m_held.find(key);
    if (found == m_held.end())
        return false;
    const std::shared_ptr<DecisionReply> held = std::move(found->second.reply);
    m_held.erase(found);
    held->setOnHangUp({});
    return held->send(reply);
}

void DecisionDesk::cancel(const std::string& key)
{
    const auto found = m_held.find(key);
    if (found == m_held.end())
        return;
    const std::shared_ptr<DecisionReply> held = std::move(found->second.reply);
    m_held.erase(found);
    held->setOnHangUp({});
    if (held->isOpen()) {
        held->close();
        Log::debug("decision", "passed " + Log::shortId(key) + " back to terminal");
    }
}

void DecisionDesk::hungUp(const std::string& key, const DecisionReply* reply)
{
    // Copied first: the callback that runs this belongs to the request let go of below.
    const std::string id = key;
    const auto found = m_held.find(id);
    if (found == m_held.end() || found->second.reply.get() != reply)
        return;
    Log::debug("decision", "client of " + Log::shortId(id) + " went away; request released");
    const Held held = std::move(found->second);
    m_held.erase(found);
    if (m_onHangUp)
        m_onHangUp(id, held.reply->event(), held.before);
}

} // namespace velquist
