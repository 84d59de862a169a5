#pragma once

#include <atomic>
#include <mutex>
#include <string>

struct xcb_connection_t;

namespace velquist {

// A connection to an X server for work on worker threads: made on first use, made again after it
// broke, and marked failed once the server could not be reached. Shared with the workers that use
// it, so it outlives the object that started them.
class XcbLink
{
  public:
    // `display` as in DISPLAY; empty means there is no X server, which counts as failed.
    explicit XcbLink(std::string display);
    ~XcbLink();
    XcbLink(const XcbLink&) = delete;
    XcbLink& operator=(const XcbLink&) = delete;

    // Held while using connection().
    std::mutex& mutex() { return m_mutex; }
    // The live connection, connecting when needed; null when the server cannot be reached.
    xcb_connection_t* connection();
    bool hasFailed() const { return m_failed; }
    // For a server that lacks what the caller needs.
    void markFailed() { m_failed = true; }

  private:
    const std::string m_display;
    std::mutex m_mutex;
    xcb_connection_t* m_connection = nullptr;
    std::atomic<bool> m_failed{false};
};

} // namespace velquist
