#include "Platform/Linux/IpcSocket.h"
#include "Platform/Linux/IpcCancel.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace velquist;

namespace {

// A listening socket that takes connections into its backlog and never answers.
class SilentServer
{
  public:
    explicit SilentServer(const std::filesystem::path& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        const bool ok = m_fd >= 0 &&
                        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                        ::listen(m_fd, 8) == 0;
        EXPECT_TRUE(ok);
    }
    ~SilentServer() { ::close(m_fd); }

  private:
    int m_fd;
};

} // namespace

// The deadline is an hour: only the cancel can end the wait in time for the test to finish.
TEST(IpcSocketTest, ACancelEndsAWaitAndRefusesLaterConnections)
{
    test::TemporaryFolder folder;
    const std::string path = folder.path() / "silent.sock";
    SilentServer server(path);
    IpcCancel cancel;
    IpcSocket socket = IpcSocket::connect(path, std::chrono::hours(1), &cancel);
    ASSERT_TRUE(socket.isOpen());
    ASSERT_TRUE(socket.send("question"));

    std::thread thrower([&] { cancel.cancel(); });
    EXPECT_EQ(socket.receive(4), std::nullopt);
    thrower.join();

    EXPECT_TRUE(cancel.isCancelled());
    EXPECT_FALSE(IpcSocket::connect(path, std::chrono::hours(1), &cancel).isOpen());
    EXPECT_TRUE(IpcSocket::connect(path, std::chrono::hours(1)).isOpen())
        << "a socket without it is not touched";
}
