#include "Adapters/HookGateway.h"

#include "Adapters/HookAdapter.h"
#include "Ingestion/HookSocketServer.h"
#include "Ingestion/PendingDecision.h"
#include "Shared/Log.h"

namespace velquist {

HookGateway::HookGateway(Scheduler& scheduler, const Clock& clock, std::filesystem::path socketPath,
                         QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_clock(clock), m_socketPath(std::move(socketPath))
{
}

HookGateway::~HookGateway()
{
    // The server goes first, so nothing is delivered to adapters being destroyed.
    m_server.reset();
    m_adapters.clear();
}

HookAdapter& HookGateway::addAdapter(std::unique_ptr<HookAdapter> adapter)
{
    auto& slot = m_adapters[adapter->engine().idNamespace];
    slot = std::move(adapter);
    return *slot;
}

HookAdapter* HookGateway::adapter(const std::string& engine) const
{
    const auto found = m_adapters.find(engine);
    return found == m_adapters.end() ? nullptr : found->second.get();
}

void HookGateway::start()
{
    // The server lives inside the gateway, so its callbacks never outlive it.
    auto server = std::make_unique<HookSocketServer>(
        m_scheduler, m_clock, [this](HookEvent event) { deliverEvent(event); },
        [this](std::shared_ptr<PendingDecision> decision) { deliverDecision(std::move(decision)); },
        m_socketPath);
    server->start();
    m_server = std::move(server);
}

void HookGateway::stop()
{
    if (m_server) {
        m_server->stop();
        m_server.reset();
    }
    for (auto& [engine, adapter] : m_adapters)
        adapter->stop();
    m_adapters.clear();
}

bool HookGateway::isListening() const
{
    return m_server && m_server->isListening();
}

void HookGateway::deliverEvent(const HookEvent& event)
{
    if (HookAdapter* target = adapter(event.engine)) {
        target->apply(event);
        return;
    }
    Log::debug("hook", "no adapter for engine " + event.engine + "; event dropped");
}

void HookGateway::deliverDecision(std::shared_ptr<PendingDecision> decision)
{
    if (HookAdapter* target = adapter(decision->event().engine)) {
        target->receive(std::move(decision));
        return;
    }
    Log::debug("hook", "no adapter for engine " + decision->event().engine + "; decision passed back");
    decision->close();
}

} // namespace velquist
