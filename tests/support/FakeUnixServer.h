#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace velquist::test {

// A Unix socket server on a path of the test's: each connection is handed to `serve`, one at a
// time on the server's own thread, which closes it afterwards unless `serve` returns true (kept
// open, and then owned by `serve`'s caller).
class FakeUnixServer
{
  public:
    FakeUnixServer(std::filesystem::path path, std::function<bool(int fd)> serve);
    ~FakeUnixServer();
    FakeUnixServer(const FakeUnixServer&) = delete;
    FakeUnixServer& operator=(const FakeUnixServer&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Helpers for `serve`: blocking reads and writes of whole buffers.
    static bool readExactly(int fd, void* buffer, std::size_t size);
    static bool writeAll(int fd, const std::string& bytes);

  private:
    const std::filesystem::path m_path;
    std::function<bool(int)> m_serve;
    int m_listen = -1;
    int m_wake = -1;
    std::thread m_thread;
};

} // namespace velquist::test
