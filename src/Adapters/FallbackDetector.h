#pragma once

#include "Core/Scheduler.h"
#include "Platform/AppRegistry.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

class QThreadPool;

namespace velquist {

class Clock;
class ProcessTable;
class SessionStore;
class TerminalBinder;

// Makes agents that have no hooks and no server visible: every few seconds it reads the process
// table, and each terminal running one of the known agents gets one session of kind `detected`
// ("detected:pts/3") for as long as the agent runs there. A terminal that already shows a hook
// or OpenCode session gets none. Such sessions never ask for anything. Main thread only; the
// process table is read on a worker, one scan at a time.
class FallbackDetector final : public QObject
{
    Q_OBJECT
  public:
    // What the scan learned about a terminal that had no session when the scan began: where its
    // agent works and which application shows it. Looked up on the worker, once per new session.
    struct Details
    {
        std::string cwd;
        std::optional<RunningApp> app;

        bool operator==(const Details&) const = default;
    };

    // The first agent process found on a terminal.
    struct DetectedProcess
    {
        pid_t pid = 0;
        std::string tty;   // "pts/3", as the hook client names terminals
        std::string brand; // the agent's display name
        std::optional<Details> details;

        bool operator==(const DetectedProcess&) const = default;
    };

    struct Services
    {
        Clock& clock;
        Scheduler& scheduler;
        // Finds the terminal application of a new session; none leaves it unbound.
        const TerminalBinder* terminalBinder = nullptr;
        // Where the process table is read; a test hands in a folder laid out like /proc.
        std::filesystem::path procRoot = "/proc";
        // Where the process table is read; none is Qt's global pool.
        QThreadPool* workers = nullptr;
    };

    static constexpr std::chrono::milliseconds kScanInterval{5000};
    // Sessions made or changed per turn of the event loop when a scan's result is applied.
    static constexpr std::size_t kApplyBatch = 32;

    FallbackDetector(SessionStore& store, Services services, QObject* parent = nullptr);
    ~FallbackDetector() override;

    // Scans at once, then every five seconds. Again after stop() is allowed.
    void start();
    // Stops the timer; the result of a scan still running is dropped.
    void stop();

    // Brings the store's detected sessions in line with one scan's result.
    void apply(const std::vector<DetectedProcess>& processes);

    // The agent a command line runs, by the program's name (the script's, when the program is an
    // interpreter such as node or python), never by a word elsewhere in the line.
    static std::optional<std::string> brand(const std::vector<std::string>& arguments);
    // The first agent process of each terminal, in process id order. Processes that cannot be read
    // or have no terminal are skipped. Blocking.
    static std::vector<DetectedProcess> scanProcesses(const ProcessTable& table);
    // Fills the details of the processes whose terminal is not in `knownTerminals`. Blocking.
    static void describe(std::vector<DetectedProcess>& processes, const std::set<std::string>& knownTerminals,
                         const ProcessTable& table, const TerminalBinder* binder);

    bool isStarted() const { return m_timer.isActive(); }
    bool isScanning() const { return m_scanning; }
    // How many scans have begun, for tests of the one-at-a-time rule.
    std::int64_t scansStarted() const { return m_scansStarted; }

  private:
    void scan();
    void applyInBatches(std::shared_ptr<const std::vector<DetectedProcess>> processes, std::size_t start,
                        std::uint64_t generation);
    // Applies the processes from `start` until `maxNew` sessions were made or changed; returns
    // where it stopped.
    std::size_t applyFrom(const std::vector<DetectedProcess>& processes, std::size_t start,
                          std::size_t maxNew);
    void removeGone(const std::vector<DetectedProcess>& processes);
    // Terminals that need no details: a session shows them already.
    std::set<std::string> knownTerminals() const;

    SessionStore& m_store;
    const Services m_services;
    ScheduledTimer m_timer;
    bool m_scanning = false;
    // A scan's result is applied only while the detector runs in the generation it began in.
    std::uint64_t m_generation = 0;
    std::int64_t m_scansStarted = 0;
};

} // namespace velquist
