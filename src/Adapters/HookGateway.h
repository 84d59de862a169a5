#pragma once

#include "Core/Scheduler.h"
#include "Ingestion/HookEvent.h"
#include "Platform/Clock.h"
#include "Shared/AppPaths.h"

#include <QObject>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace velquist {

class HookAdapter;
class HookSocketServer;
class PendingDecision;

// Joins the hook socket to the per-agent adapters: every event the server delivers goes to the
// adapter of its engine, and a request waiting for a decision that no adapter serves is closed at
// once, so its hook client falls back without waiting. Main thread only.
class HookGateway final : public QObject
{
    Q_OBJECT
  public:
    // `scheduler` and `clock` must outlive the gateway; the clock's monotonic time is read on the
    // socket's reader thread too.
    HookGateway(Scheduler& scheduler, const Clock& clock, std::filesystem::path socketPath,
                QObject* parent = nullptr);
    ~HookGateway() override;

    // Takes an adapter, keyed by its engine's id namespace (the hook client's --engine); one for the
    // same engine replaces the earlier. Returns the adapter.
    HookAdapter& addAdapter(std::unique_ptr<HookAdapter> adapter);
    HookAdapter* adapter(const std::string& engine) const;
    const std::map<std::string, std::unique_ptr<HookAdapter>>& adapters() const { return m_adapters; }

    // Listens on the socket. On failure the error (std::system_error) is passed on and an earlier
    // server, if any, stays.
    void start();
    // Stops listening, removes the socket file and stops every adapter's tailers and timers; then
    // drops the adapters. Their held requests close, and their hook clients print their fallbacks.
    void stop();

    bool isListening() const;
    HookSocketServer* server() const { return m_server.get(); }

  private:
    void deliverEvent(const HookEvent& event);
    void deliverDecision(std::shared_ptr<PendingDecision> decision);

    Scheduler& m_scheduler;
    const Clock& m_clock;
    const std::filesystem::path m_socketPath;
    std::map<std::string, std::unique_ptr<HookAdapter>> m_adapters;
    std::unique_ptr<HookSocketServer> m_server;
};

} // namespace velquist
