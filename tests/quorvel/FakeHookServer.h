#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velquist::test {

class FakeHookServer;

// One accepted connection, handed to the server's handler.
class FakeConnection
{
  public:
    FakeConnection(FakeHookServer& server, int fd) : m_server(server), m_fd(fd) {}
    // Reads the request to the client's end of stream and records it.
    std::string readRequest();
    // Waits until the whole request is queued without taking it off the socket, so that closing
    // afterwards resets the connection. Records it too.
    std::string peekRequest();
    void send(std::string_view bytes);

  private:
    FakeHookServer& m_server;
    int m_fd;
};

// A stand-in for the application's hook socket: listens at a path, serves one connection at a
// time on its own thread with the handler the test sets, and records every request.
class FakeHookServer
{
  public:
    using Handler = std::function<void(FakeConnection&)>;

    // Binds `socketPath` (which may fill sun_path) with the given listen backlog.
    explicit FakeHookServer(const std::filesystem::path& socketPath, int backlog = 16);
    ~FakeHookServer();
    FakeHookServer(const FakeHookServer&) = delete;
    FakeHookServer& operator=(const FakeHookServer&) = delete;

    // Default: read the request, then close without a reply.
    void setHandler(Handler handler);
    // Stops accepting, so connections pile up in the listen queue.
    void stopAccepting();
    // The requests recorded so far, after waiting up to `timeout` for at least `count` of them.
    std::vector<std::string> requests(std::size_t count = 0,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int listeningFd() const { return m_listenFd; }

  private:
    friend class FakeConnection;
    void record(std::string request);
    void serve();

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    bool m_accepting = true;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    Handler m_handler;
    std::thread m_thread;
};

// Binds or connects `fd` to a Unix socket path the way Linux allows: up to all of sun_path.
bool bindUnix(int fd, const std::filesystem::path& path);

} // namespace velquist::test
