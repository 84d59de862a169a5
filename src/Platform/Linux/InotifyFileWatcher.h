#pragma once

#include "Platform/FileWatcher.h"

#include <QObject>
#include <map>
#include <mutex>
#include <vector>

class QSocketNotifier;

namespace velquist {

// One inotify instance serving every watch of the process; notices are read and handed out on
// the thread that owns the watcher (the main thread).
class InotifyFileWatcher final : public QObject, public FileWatcher
{
    Q_OBJECT
  public:
    explicit InotifyFileWatcher(QObject* parent = nullptr);
    ~InotifyFileWatcher() override;

    bool canWatch() const override { return m_fd >= 0; }
    WatchId watch(int fd, Handler handler) override;
    void unwatch(WatchId id) override;

  private:
    void readNotices();

    struct Watch
    {
        int descriptor;
        Handler handler;
    };

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::mutex m_mutex;
    WatchId m_nextId = 1;
    std::map<WatchId, Watch> m_watches;
    // inotify hands out one descriptor per inode, so several watches of one file share it.
    std::map<int, std::vector<WatchId>> m_byDescriptor;
};

} // namespace velquist
