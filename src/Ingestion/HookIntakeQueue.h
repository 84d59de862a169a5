#pragma once

#include "Ingestion/HookEvent.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace velquist {

class SocketConnection;

// The hand-over from the threads that read and parse hook requests to the main thread. It is
// bounded, and it keeps a flood from holding up an answer:
// - a request that waits for a decision is taken before any other session's ordinary events
//   (its own session's earlier events go just ahead of it, so a session's events keep their order);
// - while a session's tool events wait, a newer one replaces an older one of the same kind (the
//   latest state wins), so a busy session costs a few entries however fast it reports. Events that
//   change what a session is (start, prompt, stop, end, subagents, notifications, questions, plans)
//   are never merged away.
// Thread-safe; `take` is for the main thread.
class HookIntakeQueue
{
  public:
    struct Limits
    {
        // Ordinary events waiting, after merging; more are dropped with a log line.
        std::size_t maxEvents = 16'384;
        // Requests waiting for a decision; more are closed without a reply, so their hook clients
        // fall back as when the application is away.
        std::size_t maxDecisions = 1'024;
    };

    enum class Outcome {
        queued,
        merged,
        refused,
    };

    struct Delivery
    {
        std::uint64_t id = 0;
        HookEvent event;
        // Open for a request that waits for a decision; none for an ordinary event.
        std::shared_ptr<SocketConnection> connection;
    };

    struct Batch
    {
        std::vector<Delivery> deliveries;
        // Whether more waits: the caller takes again after letting its event loop run.
        bool more = false;
    };

    HookIntakeQueue() : HookIntakeQueue(Limits{}) {}
    explicit HookIntakeQueue(Limits limits);

    // Each returns whether the queue was idle until now (the caller arranges a `take`); a refused
    // decision's connection is closed here.
    bool push(std::uint64_t id, HookEvent event, Outcome* outcome = nullptr);
    bool pushDecision(std::uint64_t id, HookEvent event, std::shared_ptr<SocketConnection> connection,
                      Outcome* outcome = nullptr);

    // Every waiting decision (each after its session's earlier events), then the events of waiting
    // sessions, oldest session first, until about `maxEvents` are taken.
    Batch take(std::size_t maxEvents);

    // Drops everything; waiting decisions' connections close without a reply.
    void clear();

    std::size_t eventCount() const;
    std::size_t decisionCount() const;

    // Whether `newer` may take `older`'s place in a session's queue.
    static bool mergeable(const HookEvent& older, const HookEvent& newer);

  private:
    struct Entry
    {
        std::uint64_t id;
        HookEvent event;
    };
    using SessionKey = std::string;

    static SessionKey keyOf(const HookEvent& event);
    bool wakeIfIdle();
    void takeSession(const SessionKey& key, Batch& batch);

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::unordered_map<SessionKey, std::deque<Entry>> m_sessions;
    // Sessions with waiting events, each once, in the order their first waiting event came.
    std::deque<SessionKey> m_order;
    std::deque<Delivery> m_decisions;
    std::size_t m_events = 0;
    std::size_t m_refused = 0;
    bool m_taking = false;
};

} // namespace velquist
