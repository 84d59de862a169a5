#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
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

    // Runs `ask` with the live connection (connecting when needed) and the root window of its first
    // screen, holding the link so no other worker uses the connection meanwhile. `ask` returns a
    // std::optional; none comes back at once when the server cannot be reached.
    template <typename Ask>
    auto query(Ask ask) -> decltype(ask(static_cast<xcb_connection_t*>(nullptr), std::uint32_t{}))
    {
        std::lock_guard lock(m_mutex);
        xcb_connection_t* live = connection();
        if (!live)
            return std::nullopt;
        return ask(live, rootOf(live));
    }
    bool hasFailed() const { return m_failed; }
    // For a server that lacks what the caller needs.
    void markFailed() { m_failed = true; }

  private:
    xcb_connection_t* connection();
    static std::uint32_t rootOf(xcb_connection_t* connection);

    const std::string m_display;
    std::mutex m_mutex;
    xcb_connection_t* m_connection = nullptr;
    std::atomic<bool> m_failed{false};
};

} // namespace velquist
