#pragma once

#include "support/FakeUnixServer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace velquist::test {

// A compositor speaking the i3 IPC protocol on a socket in the test's folder: answers each request
// with the reply recorded for its type, keeps the subscription open so the test can send events
// down it, and holds requests unanswered while the test says so, as a stalled compositor would.
class FakeSway
{
  public:
    // A tree as sway reports it: the scratchpad's hidden window, workspace 1 with two windows of
    // one terminal and an XWayland xterm behind the focused workspace 2, which shows a full-screen
    // foot window (id 7, pid 103, over the whole 1920×1080 output) and a floating one.
    static const char* const recordedTree;

    explicit FakeSway(const std::filesystem::path& folder);
    ~FakeSway();
    FakeSway(const FakeSway&) = delete;
    FakeSway& operator=(const FakeSway&) = delete;

    std::string path() const { return m_server.path().string(); }

    void reply(std::uint32_t type, std::string payload);
    // Every request answered or held, in order: its type and payload.
    std::vector<std::pair<std::uint32_t, std::string>> requests() const;
    bool subscribed() const { return m_subscription >= 0; }
    std::string subscribedTo() const;
    void send(const std::string& bytes);

    // From now on a request is read and noted but its answer waits until `release`.
    void hold();
    // Answers the request held, if any, and every later one at once.
    void release();
    // Whether a request is held and the client that sent it still waits for the answer (has not
    // given up and closed its end).
    bool holdsWaitingClient() const;
    bool holdsRequest() const;

    // A malformed reply in place of the recorded one.
    std::atomic<bool> garbled{false};

  private:
    bool serve(int fd);

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::map<std::uint32_t, std::string> m_replies;
    std::vector<std::pair<std::uint32_t, std::string>> m_requests;
    std::string m_subscribedTo;
    bool m_holding = false;
    std::uint64_t m_releases = 0;
    bool m_closing = false;
    int m_held = -1;
    std::atomic<int> m_subscription{-1};
    FakeUnixServer m_server;
};

} // namespace velquist::test
