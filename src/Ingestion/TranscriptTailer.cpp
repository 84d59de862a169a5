#include "Ingestion/TranscriptTailer.h"

#include "Platform/FileWatcher.h"
#include "Shared/Log.h"

#include <QMetaObject>
#include <QThreadPool>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <simdjson.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace velquist {

namespace {

std::string fileName(const std::filesystem::path& path)
{
    return path.filename().string();
}

} // namespace

// The file side of a tailer. Its jobs run on pool threads, one at a time under `m_mutex`, and it
// outlives its tailer while a job still holds it. Results reach the tailer through queued calls
// that Qt drops once the tailer is gone.
class TranscriptTailer::Reader final : public std::enable_shared_from_this<Reader>
{
  public:
    Reader(std::filesystem::path path, TranscriptLineParser parse, FileWatcher& watcher,
           TranscriptTailer* owner, QThreadPool* workers)
        : m_path(std::move(path)), m_parse(std::move(parse)), m_watcher(&watcher), m_owner(owner),
          m_workers(workers ? workers : QThreadPool::globalInstance())
    {
    }

    // Main thread: the owner is going away.
    void detach()
    {
        std::lock_guard lock(m_ownerMutex);
        m_owner = nullptr;
    }

    void postOpen(bool initial)
    {
        post([initial](Reader& reader) { reader.open(initial); });
    }

    // Reads what was appended, after making sure the path still names the file followed.
    void postRefresh()
    {
        if (m_refreshQueued.exchange(true))
            return;
        post([](Reader& reader) {
            reader.m_refreshQueued = false;
            reader.refresh();
        });
    }

    // Ends the watch before returning, so the watcher need not outlive jobs still queued.
    void postStop()
    {
        m_stopped = true;
        {
            std::lock_guard lock(m_watchMutex);
            if (m_watch)
                m_watcher->unwatch(m_watch);
            m_watch = 0;
            m_watcher = nullptr;
        }
        post([](Reader& reader) { reader.close(); });
    }

  private:
    template <class Job> void post(Job job)
    {
        m_workers->start([self = shared_from_this(), job = std::move(job)] {
            std::lock_guard lock(self->m_mutex);
            job(*self);
        });
    }

    template <class Call> void toOwner(Call call)
    {
        std::lock_guard lock(m_ownerMutex);
        if (!m_owner)
            return;
        TranscriptTailer* owner = m_owner;
        QMetaObject::invokeMethod(
            owner, [owner, call = std::move(call)] { call(*owner); }, Qt::QueuedConnection);
    }

    // Opens the path for one read. A FIFO or a device named as a transcript is never opened at
    // all: the path is looked at first.
    int openPath(struct stat& info, std::string& refusal) const
    {
        // The system would read such a path only up to the NUL, which names another file.
        if (m_path.native().find('\0') != std::string::npos) {
            refusal = "the path holds a NUL";
            return -1;
        }
        if (::stat(m_path.c_str(), &info) != 0) {
            refusal = std::strerror(errno);
            return -1;
        }
        if (!S_ISREG(info.st_mode)) {
            refusal = "not a regular file";
            return -1;
        }
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            refusal = std::strerror(errno);
            return -1;
        }
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            refusal = "not a regular file";
            return -1;
        }
        return fd;
    }

    // When the file was made, where the file system keeps it: with no descriptor held, a file
    // deleted and made again may get the same inode number, and only this tells them apart.
    static std::optional<std::pair<std::int64_t, std::uint32_t>> birthOf(int fd)
    {
        struct statx details
        {
        };
        if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &details) != 0 || !(details.stx_mask & STATX_BTIME))
            return std::nullopt;
        return std::pair<std::int64_t, std::uint32_t>(details.stx_btime.tv_sec, details.stx_btime.tv_nsec);
    }

    void open(bool initial)
    {
        if (m_stopped)
            return;
        close();
        std::string refusal;
        struct stat info
        {
        };
        const int fd = openPath(info, refusal);
        if (fd < 0) {
            Log::debug("tailer", "cannot open " + fileName(m_path) + ": " + refusal);
            toOwner([initial](TranscriptTailer& owner) { owner.openFailed(initial); });
            return;
        }
        m_known = true;
        m_device = info.st_dev;
        m_inode = info.st_ino;
        m_birth = birthOf(fd);
        m_partial.clear();
        m_skippingLine = false;
        bool reset = false;
        if (initial) {
            const auto size = static_cast<std::uint64_t>(info.st_size);
            m_offset = size > kInitialWindow ? size - kInitialWindow : 0;
        } else {
            m_offset = 0;
            reset = startNewFile();
        }
        bool watched = false;
        {
            std::lock_guard lock(m_watchMutex);
            if (!m_watcher) {
                ::close(fd);
                return;
            }
            // The watch follows the file itself, so it outlives the descriptor it was made from.
            m_watch = m_watcher->watch(fd, [weak = weak_from_this()](unsigned) {
                if (const auto reader = weak.lock())
                    reader->postRefresh();
            });
            watched = m_watch != 0;
        }
        toOwner([watched](TranscriptTailer& owner) { owner.fileOpened(watched); });
        read(fd, reset);
        // No descriptor is held between reads: thousands of sessions must not use up the
        // process's descriptors.
        ::close(fd);
    }

    void refresh()
    {
        if (m_stopped || !m_known)
            return;
        // Each read opens the path again; a path that no longer names the file being followed
        // means the file was replaced or removed.
        std::string refusal;
        struct stat info
        {
        };
        const int fd = openPath(info, refusal);
        if (fd < 0 || info.st_dev != m_device || info.st_ino != m_inode || birthOf(fd) != m_birth) {
            if (fd >= 0)
                ::close(fd);
            close();
            toOwner([](TranscriptTailer& owner) { owner.fileReplaced(); });
            return;
        }
        bool reset = false;
        if (static_cast<std::uint64_t>(info.st_size) < m_offset) {
            // Cut short in place: what follows is a new file as far as the reader can tell.
            m_offset = 0;
            m_partial.clear();
            m_skippingLine = false;
            reset = startNewFile();
        }
        read(fd, reset);
        ::close(fd);
    }

    void close()
    {
        {
            std::lock_guard lock(m_watchMutex);
            if (m_watch && m_watcher)
                m_watcher->unwatch(m_watch);
            m_watch = 0;
        }
        m_known = false;
    }

    // Tool results of a new file are counted afresh, and the snapshot says so through its
    // generation; everything else it knows stays.
    bool startNewFile()
    {
        m_snapshot.resetToolResults();
        ++m_snapshot.generation;
        return true;
    }

    void read(int fd, bool changed)
    {
        // Thousands of tailers share the pool's few threads, so the buffer is the thread's.
        thread_local std::string chunk;
        if (chunk.size() != kChunkSize)
            chunk.resize(kChunkSize);
        std::size_t budget = kReadBudget;
        while (budget > 0) {
            const ssize_t count =
                ::pread(fd, chunk.data(), std::min(kChunkSize, budget), static_cast<off_t>(m_offset));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            m_offset += static_cast<std::uint64_t>(count);
            budget -= static_cast<std::size_t>(count);
            if (consume(std::string_view(chunk.data(), static_cast<std::size_t>(count))))
                changed = true;
        }
        if (budget == 0)
            postRefresh();
        if (changed) {
            toOwner([snapshot = m_snapshot](TranscriptTailer& owner) {
                if (owner.m_onUpdate)
                    owner.m_onUpdate(snapshot);
            });
        }
    }

    // Cuts `bytes` into lines, keeping an unfinished last line for the next read.
    bool consume(std::string_view bytes)
    {
        bool changed = false;
        while (!bytes.empty()) {
            const auto* feed = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
            if (!feed) {
                keepPartial(bytes);
                break;
            }
            const std::string_view piece = bytes.substr(0, static_cast<std::size_t>(feed - bytes.data()));
            bytes.remove_prefix(piece.size() + 1);
            if (m_skippingLine) {
                m_skippingLine = false;
            } else if (m_partial.empty()) {
                changed |= parseLine(piece);
            } else if (m_partial.size() + piece.size() <= kMaxLineLength) {
                m_partial.append(piece);
                changed |= parseLine(m_partial);
            }
            m_partial.clear();
        }
        return changed;
    }

    void keepPartial(std::string_view bytes)
    {
        if (m_skippingLine)
            return;
        if (m_partial.size() + bytes.size() > kMaxLineLength) {
            Log::debug("tailer", "dropping an overlong line in " + fileName(m_path));
            std::string().swap(m_partial);
            m_skippingLine = true;
            return;
        }
        m_partial.append(bytes);
    }

    bool parseLine(std::string_view line)
    {
        // Lines that are not UTF-8 never reach a parser (checked many bytes at a time).
        if (!simdjson::validate_utf8(line.data(), line.size()))
            return false;
        const auto items = m_parse(line);
        for (const auto& item : items)
            m_snapshot.apply(item);
        return !items.empty();
    }

    const std::filesystem::path m_path;
    const TranscriptLineParser m_parse;

    // Cleared by stop(), after which no job touches the watcher.
    std::mutex m_watchMutex;
    FileWatcher* m_watcher;
    FileWatcher::WatchId m_watch = 0;

    std::mutex m_ownerMutex;
    TranscriptTailer* m_owner;
    QThreadPool* const m_workers;

    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_refreshQueued{false};

    // Touched only by jobs, under this lock.
    std::mutex m_mutex;
    // Whether a file is being followed: its identity and how far it has been read.
    bool m_known = false;
    dev_t m_device = 0;
    std::optional<std::pair<std::int64_t, std::uint32_t>> m_birth;
    ino_t m_inode = 0;
    std::uint64_t m_offset = 0;
    std::string m_partial;
    bool m_skippingLine = false;
    TranscriptSnapshot m_snapshot;
};

TranscriptTailer::TranscriptTailer(std::filesystem::path path, TranscriptLineParser parse,
                                   UpdateHandler onUpdate, FileWatcher& watcher, Scheduler& scheduler,
                                   QThreadPool* workers, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_onUpdate(std::move(onUpdate)), m_scheduler(scheduler),
      m_reader(std::make_shared<Reader>(m_path, std::move(parse), watcher, this, workers))
{
    m_reader->postOpen(true);
}

TranscriptTailer::~TranscriptTailer()
{
    stop();
    m_reader->detach();
}

void TranscriptTailer::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_openTimer.cancel();
    m_pollTimer.cancel();
    m_reader->postStop();
}

void TranscriptTailer::openFailed(bool initial)
{
    if (m_stopped)
        return;
    if (++m_openAttempts >= kMaxOpenAttempts) {
        Log::debug("tailer", "giving up on " + fileName(m_path));
        return;
    }
    m_openTimer = ScheduledTimer(
        m_scheduler, m_scheduler.schedule(kRetryInterval, [this, initial] { m_reader->postOpen(initial); }));
}

void TranscriptTailer::fileOpened(bool watched)
{
    if (m_stopped || watched)
        return;
    // Without change notices (the watch limit is reached) the file is looked at on a timer.
    m_pollTimer = ScheduledTimer(
        m_scheduler, m_scheduler.scheduleRepeating(kRetryInterval, [this] { m_reader->postRefresh(); }));
}

void TranscriptTailer::fileReplaced()
{
    m_pollTimer.cancel();
    if (m_stopped)
        return;
    Log::debug("tailer", "reopening " + fileName(m_path));
    m_openTimer = ScheduledTimer(m_scheduler,
                                 m_scheduler.schedule(kReopenDelay, [this] { m_reader->postOpen(false); }));
}

} // namespace velquist
