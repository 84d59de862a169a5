#pragma once

#include "Core/Session.h"
#include "Core/StateFile.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QThreadPool;

namespace velquist {

// The sessions file ("sessions.json" in the support folder): reading it back, and writing the
// sessions whole, either at once or on a worker pool so that a large table never stalls the main
// thread. Writes land in order: one that finds a newer one written already is dropped.
//
// A write handed to the pool waits there as the newest pending one; the task that runs takes
// whatever is pending when it starts. So a task dropped from the pool's queue (the pool cleared at
// shutdown) loses nothing, and flush() writes a pending one on the calling thread instead of
// waiting for a task that may never run.
class SessionFile
{
  public:
    SessionFile(std::filesystem::path path, QThreadPool& pool);
    // Flushes.
    ~SessionFile();
    SessionFile(const SessionFile&) = delete;
    SessionFile& operator=(const SessionFile&) = delete;

    const std::filesystem::path& path() const;

    // The saved sessions the file holds, in its order; none when it is missing. A file that cannot
    // be read, or a record that cannot be decoded, is traced and sets the file aside before the
    // next write, so nothing of it is written over.
    std::vector<Session> load();

    // Writes at once on the calling thread, after any write running on the pool.
    void write(const std::vector<Session>& sessions);
    // Hands the write to the pool; it replaces one still pending there.
    void writeInBackground(std::vector<Session> sessions);
    // Returns once nothing is pending or being written: a pending write is written here, a
    // running one is waited for (it only encodes and writes, so the wait is bounded).
    void flush();
    // Drops a pending write and waits for a running one: afterwards nothing more reaches the
    // file unless it is written again (used once the file must not come back).
    void discard();

  private:
    struct Pending
    {
        std::uint64_t generation;
        std::vector<Session> sessions;
    };
    // What a background write shares with the file; it outlives the file while a write runs.
    struct State
    {
        explicit State(std::filesystem::path path) : file(std::move(path)) {}
        std::mutex mutex;
        std::condition_variable idle;
        StateFile file;
        std::optional<Pending> pending;
        std::uint64_t written = 0; // the newest generation written
        int writing = 0;           // tasks encoding or writing now
    };
    // Encodes and writes `pending` unless a newer generation is written already; takes the lock.
    static void writePending(State& state, Pending pending);

    std::shared_ptr<State> m_state;
    QThreadPool& m_pool;
    std::uint64_t m_generation = 0;
};

} // namespace velquist
