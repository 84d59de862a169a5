#pragma once

#include <atomic>

namespace velquist {

// A switch that, once thrown, ends every wait of the sockets that watch it and refuses their later
// ones: a compositor that stops answering must not hold up the application's exit. Thread-safe.
class IpcCancel
{
  public:
    IpcCancel();
    ~IpcCancel();
    IpcCancel(const IpcCancel&) = delete;
    IpcCancel& operator=(const IpcCancel&) = delete;

    // Readable once thrown; -1 when the system gave no descriptor (then nothing is ever cut short).
    int fd() const { return m_fd; }
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

  private:
    int m_fd = -1;
    std::atomic<bool> m_cancelled{false};
};

} // namespace velquist
