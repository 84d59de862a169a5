#include "support/SwaySession.h"

#include "Platform/Linux/IpcSocket.h"
#include "Platform/Linux/SwayWindowSystem.h"
#include "Shared/Json.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velquist::test {

namespace {

constexpr uid_t nobody = 65534;
constexpr gid_t nogroup = 65534;
constexpr auto startDeadline = std::chrono::seconds(60);

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (auto& string : strings)
        result.push_back(string.data());
    result.push_back(nullptr);
    return result;
}

std::string readTail(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

std::optional<std::string> request(const std::string& socketPath, std::uint32_t type)
{
    IpcSocket socket = IpcSocket::connect(socketPath);
    if (!socket.send(SwayWindowSystem::frame(type, {})))
        return std::nullopt;
    const auto header = socket.receive(14);
    if (!header)
        return std::nullopt;
    std::uint32_t length = 0;
    std::memcpy(&length, header->data() + 6, sizeof length);
    return socket.receive(length);
}

} // namespace

SwaySession::SwaySession()
{
    if (::access("/usr/bin/sway", X_OK) != 0) {
        m_failure = "sway is not installed";
        return;
    }
    char pattern[] = "/tmp/velquist-sway-XXXXXX";
    if (!::mkdtemp(pattern)) {
        m_failure = "no temporary folder";
        return;
    }
    m_folder = pattern;
    const bool root = ::geteuid() == 0;
    std::ofstream(m_folder / "config") << "default_border none\ngaps inner 10\ngaps outer 10\n";
    if (root) {
        for (const auto& file : {m_folder, m_folder / "config"}) {
            if (::chown(file.c_str(), nobody, nogroup) != 0) {
                m_failure = "cannot hand the runtime folder to nobody";
                return;
            }
        }
    }
    ::chmod(m_folder.c_str(), 0700);
    m_socket = (m_folder / "ipc.sock").string();
    const std::string log = (m_folder / "sway.log").string();

    m_sway = ::fork();
    if (m_sway == 0) {
        ::setpgid(0, 0);
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(nogroup) != 0 || ::setuid(nobody) != 0))
            ::_exit(126);
        std::vector<std::string> args = {"/usr/bin/sway", "-c", (m_folder / "config").string()};
        std::vector<std::string> env = {"HOME=" + m_folder.string(), "XDG_RUNTIME_DIR=" + m_folder.string(),
                                        "SWAYSOCK=" + m_socket,      "WLR_BACKENDS=headless",
                                        "WLR_RENDERER=pixman",       "WLR_LIBINPUT_NO_DEVICES=1",
                                        "PATH=/usr/bin:/bin"};
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execve(args[0].c_str(), pointers(args).data(), pointers(env).data());
        ::_exit(127);
    }
    if (m_sway < 0) {
        m_failure = "cannot fork";
        return;
    }

    // Ready when the socket answers a tree with an output and the Wayland socket is there.
    const auto deadline = std::chrono::steady_clock::now() + startDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_sway, &status, WNOHANG) == m_sway) {
            m_sway = -1;
            m_failure = "sway exited at start: " + readTail(log);
            return;
        }
        if (m_waylandDisplay.empty()) {
            for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
                const std::string name = entry.path().filename().string();
                if (name.starts_with("wayland-") && !name.ends_with(".lock") && entry.is_socket())
                    m_waylandDisplay = name;
            }
        }
        if (!m_waylandDisplay.empty() && outputRect()) {
            m_running = true;
            return;
        }
        // Waiting for another process to come up: a short poll on nothing, bounded by the deadline.
        ::poll(nullptr, 0, 50);
    }
    m_failure = "sway did not answer in time: " + readTail(log);
}

SwaySession::~SwaySession()
{
    for (const pid_t client : m_clients) {
        ::kill(client, SIGKILL);
        ::waitpid(client, nullptr, 0);
    }
    if (m_sway > 0) {
        ::kill(-m_sway, SIGTERM);
        ::kill(m_sway, SIGTERM);
        ::waitpid(m_sway, nullptr, 0);
    }
    std::error_code ignored;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, ignored);
}

pid_t SwaySession::launch(const std::vector<std::string>& argv)
{
    std::vector<std::string> args = argv;
    std::vector<std::string> env = {"HOME=" + m_folder.string(), "XDG_RUNTIME_DIR=" + m_folder.string(),
                                    "WAYLAND_DISPLAY=" + m_waylandDisplay, "PATH=/usr/bin:/bin"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execve(args[0].c_str(), pointers(args).data(), pointers(env).data());
        ::_exit(127);
    }
    if (pid > 0)
        m_clients.push_back(pid);
    return pid;
}

std::optional<QRect> SwaySession::outputRect() const
{
    constexpr std::uint32_t getOutputs = 3;
    const auto reply = request(m_socket, getOutputs);
    const auto outputs = reply ? Json::parse(*reply) : std::nullopt;
    if (!outputs || !outputs->is_array() || outputs->empty())
        return std::nullopt;
    const nlohmann::json* rect = Json::member(outputs->front(), "rect");
    if (!rect)
        return std::nullopt;
    return QRect(static_cast<int>(Json::integer(*rect, "x").value_or(0)),
                 static_cast<int>(Json::integer(*rect, "y").value_or(0)),
                 static_cast<int>(Json::integer(*rect, "width").value_or(0)),
                 static_cast<int>(Json::integer(*rect, "height").value_or(0)));
}

} // namespace velquist::test
