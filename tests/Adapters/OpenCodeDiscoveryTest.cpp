#include "Adapters/OpenCodeDiscovery.h"
#include "support/base/TemporaryHome.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using Listener = OpenCodeDiscovery::Listener;

namespace {

const std::string kHeader4 =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n";

std::string row4(const std::string& local, const std::string& state, const std::string& inode)
{
    return "   0: " + local + " 00000000:0000 " + state +
           " 00000000:00000000 00:00000000 00000000     0        0 " + inode +
           " 1 0000000000000000 100 0 0 10 0\n";
}

TEST(OpenCodeDiscoveryTest, ReadsListeningLocalSocketsFromTheTables)
{
    const std::string any6(32, '0');
    const std::string loopback6 = "00000000000000000000000001000000";
    const std::string mapped6 = "0000000000000000FFFF00000100007F";
    const std::string other6 = "B80D0120000000000000000001000000";
    const struct
    {
        const char* name;
        std::string table;
        bool v6;
        std::vector<Listener> expected;
    } cases[] = {
        {"loopback and wildcard",
         kHeader4 + row4("0100007F:11F7", "0A", "80893") + row4("00000000:1F90", "0A", "12"),
         false,
         {{80893, 4599, true}, {12, 8080, true}}},
        {"connected sockets are not listeners", kHeader4 + row4("0100007F:8F22", "01", "77"), false, {}},
        {"another address", kHeader4 + row4("0A00000F:1F90", "0A", "5"), false, {}},
        {"port 0 and inode 0",
         kHeader4 + row4("0100007F:0000", "0A", "5") + row4("0100007F:0050", "0A", "0"),
         false,
         {}},
        {"broken rows",
         kHeader4 + "   0: zz:11F7 x 0A\n" + row4("0100007F:XYZ", "0A", "5") + "garbage\n",
         false,
         {}},
        {"v6 loopback, wildcard and mapped",
         kHeader4 + row4(loopback6 + ":0050", "0A", "1") + row4(any6 + ":0051", "0A", "2") +
             row4(mapped6 + ":0052", "0A", "3") + row4(other6 + ":0053", "0A", "4"),
         true,
         {{1, 80, false}, {2, 81, false}, {3, 82, true}}},
        {"v4 text read as v6", kHeader4 + row4("0100007F:11F7", "0A", "9"), true, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenCodeDiscovery::parseSocketTable(c.table, c.v6), c.expected) << c.name;
}

TEST(OpenCodeDiscoveryTest, BaseURLFollowsTheAddressFamily)
{
    EXPECT_EQ((OpenCodeServer{1, 4096, true}.baseURL()), "http://127.0.0.1:4096");
    EXPECT_EQ((OpenCodeServer{1, 4096, false}.baseURL()), "http://[::1]:4096");
}

TEST(OpenCodeDiscoveryTest, UnreadableTablesAreNotAnEmptyResult)
{
    test::TemporaryFolder root;
    EXPECT_EQ(OpenCodeDiscovery::listeningServers(root.path() / "missing"), std::nullopt);
    EXPECT_EQ(OpenCodeDiscovery::listeningServers(root.path()), std::nullopt);

    std::filesystem::create_directories(root.path() / "net");
    std::ofstream(root.path() / "net/tcp") << kHeader4;
    const auto servers = OpenCodeDiscovery::listeningServers(root.path());
    ASSERT_TRUE(servers);
    EXPECT_TRUE(servers->empty());
}

// A child process named like an OpenCode server, listening on a loopback port until released.
class ListeningChild
{
  public:
    ListeningChild(const char* name, int family)
    {
        int portPipe[2];
        int holdPipe[2];
        if (pipe(portPipe) != 0 || pipe(holdPipe) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            // Only system calls from here on: the parent may have other threads.
            close(portPipe[0]);
            close(holdPipe[1]);
            prctl(PR_SET_NAME, name);
            int port = -1;
            const int fd = socket(family, SOCK_STREAM, 0);
            if (family == AF_INET6) {
                const int only = 1;
                setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
                sockaddr_in6 address{};
                address.sin6_family = AF_INET6;
                address.sin6_addr = in6addr_loopback;
                socklen_t length = sizeof address;
                if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 4) == 0 &&
                    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
                    port = ntohs(address.sin6_port);
            } else {
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                socklen_t length = sizeof address;
                if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 4) == 0 &&
                    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
                    port = ntohs(address.sin_port);
            }
            if (write(portPipe[1], &port, sizeof port) != sizeof port)
                _exit(1);
            char byte;
            while (read(holdPipe[0], &byte, 1) > 0) {
            }
            _exit(0);
        }
        close(portPipe[1]);
        close(holdPipe[0]);
        m_hold = holdPipe[1];
        if (read(portPipe[0], &m_port, sizeof m_port) != sizeof m_port)
            m_port = -1;
        close(portPipe[0]);
    }
    ~ListeningChild()
    {
        if (m_hold >= 0)
            close(m_hold);
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }
    int port() const { return m_port; }

  private:
    pid_t m_pid = -1;
    int m_hold = -1;
    int m_port = -1;
};

TEST(OpenCodeDiscoveryTest, FindsARealServerProcessOnEachLoopback)
{
    ListeningChild v4("opencode-probe", AF_INET);
    ListeningChild v6("opencode", AF_INET6);
    ListeningChild stranger("somethingelse", AF_INET);
    ASSERT_GT(v4.port(), 0);
    ASSERT_GT(v6.port(), 0);
    ASSERT_GT(stranger.port(), 0);

    const auto servers = OpenCodeDiscovery::listeningServers();
    ASSERT_TRUE(servers);
    const auto has = [&](const OpenCodeServer& wanted) {
        return std::find(servers->begin(), servers->end(), wanted) != servers->end();
    };
    EXPECT_TRUE(has(OpenCodeServer{v4.pid(), v4.port(), true}));
    EXPECT_TRUE(has(OpenCodeServer{v6.pid(), v6.port(), false}));
    EXPECT_EQ(OpenCodeServer({v6.pid(), v6.port(), false}).baseURL(),
              "http://[::1]:" + std::to_string(v6.port()));
    for (const auto& server : *servers)
        EXPECT_NE(server.port, stranger.port());
}

} // namespace
