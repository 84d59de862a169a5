#pragma once

#include "Platform/FileWatcher.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velquist::test {

// A file watcher that notes what it was asked to watch and sends only the changes a test fires.
class RecordingFileWatcher final : public FileWatcher
{
  public:
    bool canWatch() const override;
    WatchId watch(int fd, Handler handler) override;
    void unwatch(WatchId id) override;

    // Refuses every later watch, as when the system's watch limit is reached.
    void setCanWatch(bool can);
    // Calls every current watch's handler with `changes` (on the calling thread).
    void fire(unsigned changes);
    // The files watched now, by the path their descriptors named when watched.
    std::vector<std::string> watchedPaths() const;
    int watchCount() const;

  private:
    struct Watch
    {
        std::string path;
        Handler handler;
    };

    mutable std::mutex m_mutex;
    bool m_canWatch = true;
    WatchId m_nextId = 1;
    std::map<WatchId, Watch> m_watches;
    int m_watchCount = 0;
};

} // namespace velquist::test
