#pragma once

#include "Core/Scheduler.h"
#include "Ingestion/TranscriptItem.h"
#include "Ingestion/TranscriptSnapshot.h"

#include <QObject>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>

class QThreadPool;

namespace velquist {

class FileWatcher;

// Follows one agent transcript as it grows, across the file being deleted, replaced or truncated,
// and hands the running snapshot to its owner on the main thread whenever a read changed it.
// Files are opened and read on pool threads; timers come from the injected scheduler, change
// notices from the shared watcher.
class TranscriptTailer final : public QObject
{
    Q_OBJECT
  public:
    using UpdateHandler = std::function<void(const TranscriptSnapshot&)>;

    // How long a missing file is looked for: every 2 s, 300 times over the tailer's life.
    static constexpr std::chrono::milliseconds kRetryInterval{2000};
    static constexpr int kMaxOpenAttempts = 300;
    // A replaced file is opened again after this pause, and read from its start.
    static constexpr std::chrono::milliseconds kReopenDelay{500};
    // The first look at a long transcript reads only its end.
    static constexpr std::uint64_t kInitialWindow = 262'144;
    // One read's piece; the buffer belongs to the pool thread, not to each tailer.
    static constexpr std::size_t kChunkSize = 1u << 20;
    // A line longer than this is dropped whole rather than held in memory.
    static constexpr std::size_t kMaxLineLength = 32u << 20;
    // What one read takes before it lets other work in; the rest follows in the next read.
    static constexpr std::size_t kReadBudget = 8u << 20;

    // Starts looking for the file at once; nothing is read on the caller's thread. `watcher` and
    // `scheduler` must outlive the tailer. Reads run on `workers` (Qt's global pool when none),
    // which must outlive every read the tailer started: its jobs may still run after it is gone.
    TranscriptTailer(std::filesystem::path path, TranscriptLineParser parse, UpdateHandler onUpdate,
                     FileWatcher& watcher, Scheduler& scheduler, QThreadPool* workers = nullptr,
                     QObject* parent = nullptr);
    ~TranscriptTailer() override;

    // Ends the watch and every retry and closes the file; returns at once, without waiting for a
    // read in progress. A delivery already on its way may still arrive.
    void stop();

    const std::filesystem::path& path() const { return m_path; }
    // Failed opens so far (never reset).
    int openAttempts() const { return m_openAttempts; }

  private:
    class Reader;

    void openFailed(bool initial);
    void fileOpened(bool watched);
    void fileReplaced();

    const std::filesystem::path m_path;
    const UpdateHandler m_onUpdate;
    Scheduler& m_scheduler;
    std::shared_ptr<Reader> m_reader;
    int m_openAttempts = 0;
    bool m_stopped = false;
    ScheduledTimer m_openTimer;
    ScheduledTimer m_pollTimer;
};

} // namespace velquist
