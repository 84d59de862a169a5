#include "Adapters/FallbackDetector.h"

#include "Adapters/ProcessTable.h"
#include "Core/SessionStore.h"
#include "Platform/Clock.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"

#include <algorithm>

namespace velquist {

namespace {

constexpr std::string_view kIdPrefix = "detected:";

} // namespace

FallbackDetector::FallbackDetector(SessionStore& store, Services services, QObject* parent)
    : QObject(parent), m_store(store), m_services(std::move(services))
{
}

FallbackDetector::~FallbackDetector() = default;

void FallbackDetector::start()
{
    if (isStarted())
        return;
    ++m_generation;
    m_timer = ScheduledTimer(m_services.scheduler,
                             m_services.scheduler.scheduleRepeating(kScanInterval, [this] { scan(); }));
    scan();
}

void FallbackDetector::stop()
{
    m_timer.cancel();
    ++m_generation;
    // A scan still on the worker finishes there; its result finds a newer generation and is dropped.
    m_scanning = false;
}

void FallbackDetector::scan()
{
    // A slow walk of the process table (a loaded machine, thousands of processes) must not pile up
    // behind itself: the tick that finds one running lets it finish.
    if (m_scanning)
        return;
    m_scanning = true;
    ++m_scansStarted;
    const std::uint64_t generation = m_generation;
    runOnWorker<std::vector<DetectedProcess>>(
        this,
        [table = ProcessTable(m_services.procRoot), known = knownTerminals(),
         binder = m_services.terminalBinder] {
            auto processes = scanProcesses(table);
            describe(processes, known, table, binder);
            return processes;
        },
        [this, generation](std::vector<DetectedProcess> processes) {
            if (generation != m_generation)
                return;
            applyInBatches(std::make_shared<const std::vector<DetectedProcess>>(std::move(processes)), 0,
                           generation);
        },
        m_services.workers);
}

std::set<std::string> FallbackDetector::knownTerminals() const
{
    std::set<std::string> terminals;
    for (const auto& [id, session] : m_store.sessions()) {
        if (session.agent != AgentKind::detected) {
            if (session.terminal.tty)
                terminals.insert(*session.terminal.tty);
        } else if (id.starts_with(kIdPrefix)) {
            terminals.insert(id.substr(kIdPrefix.size()));
        }
    }
    return terminals;
}

void FallbackDetector::apply(const std::vector<DetectedProcess>& processes)
{
    applyFrom(processes, 0, processes.size());
    removeGone(processes);
}

// The result of a scan goes into the store a batch at a time, each batch on its own turn of the
// event loop, so hundreds of agents appearing at once do not hold up a request waiting for its
// answer.
void FallbackDetector::applyInBatches(std::shared_ptr<const std::vector<DetectedProcess>> processes,
                                      std::size_t start, std::uint64_t generation)
{
    if (generation != m_generation)
        return;
    const std::size_t next = applyFrom(*processes, start, kApplyBatch);
    if (next < processes->size()) {
        QMetaObject::invokeMethod(
            this, [this, processes, next, generation] { applyInBatches(processes, next, generation); },
            Qt::QueuedConnection);
        return;
    }
    removeGone(*processes);
    m_scanning = false;
}

std::size_t FallbackDetector::applyFrom(const std::vector<DetectedProcess>& processes, std::size_t start,
                                        std::size_t maxNew)
{
    std::set<std::string> represented;
    for (const auto& [id, session] : m_store.sessions()) {
        if (session.agent != AgentKind::detected && session.terminal.tty)
            represented.insert(*session.terminal.tty);
    }
    std::size_t made = 0;
    std::size_t index = start;
    for (; index < processes.size() && made < maxNew; ++index) {
        const DetectedProcess& process = processes[index];
        const std::string id = std::string(kIdPrefix) + process.tty;
        // The terminal is shown by a hook or OpenCode session already; a detected session made
        // there before stays as it was until its agent ends.
        if (represented.contains(process.tty))
            continue;
        if (const Session* existing = m_store.session(id)) {
            // Only a real change is stored, so a quiet agent does not stir the panel every scan.
            if (existing->detectedName != process.brand) {
                m_store.update(id, [&](Session& session) { session.detectedName = process.brand; });
                ++made;
            }
            continue;
        }
        // The terminal had a session when the scan began; the next scan brings what a new one needs.
        if (!process.details)
            continue;
        Session session;
        session.id = id;
        session.agent = AgentKind::detected;
        session.cwd = process.details->cwd;
        session.status = SessionStatus::Working{process.brand + " session"};
        session.lastActivity = process.brand + " session";
        session.startedAt = session.updatedAt = m_services.clock.now();
        session.terminal.tty = process.tty;
        session.terminal.ownerPID = process.pid;
        if (const auto& app = process.details->app) {
            session.terminal.appName = app->localizedName;
            session.terminal.bundleID = app->identifier;
        }
        session.detectedName = process.brand;
        Log::debug("fallback", "detected " + process.brand + " on " + process.tty + " (pid " +
                                   std::to_string(process.pid) + ")");
        m_store.upsert(std::move(session));
        ++made;
    }
    return index;
}

void FallbackDetector::removeGone(const std::vector<DetectedProcess>& processes)
{
    std::set<std::string> seen;
    for (const DetectedProcess& process : processes)
        seen.insert(std::string(kIdPrefix) + process.tty);
    std::vector<std::string> gone;
    for (const auto& [id, session] : m_store.sessions()) {
        // Demonstration sessions of this kind are not the process table's to end.
        if (session.agent == AgentKind::detected && id.starts_with(kIdPrefix) && !seen.contains(id))
            gone.push_back(id);
    }
    for (const std::string& id : gone)
        m_store.remove(id);
}

} // namespace velquist
