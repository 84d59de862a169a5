#include "support/XServer.h"

#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

namespace {

// Sends the child's output to /dev/null and replaces it with `argv`.
[[noreturn]] void execQuietly(const std::vector<std::string>& argv)
{
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

} // namespace

XServer::XServer(std::string screen) : XServer(std::vector<std::string>{std::move(screen)}) {}

XServer::XServer(std::vector<std::string> screens) : m_screens(std::move(screens))
{
    // Servers started side by side by parallel tests can race for a display number.
    for (int attempt = 0; attempt < 5 && !isRunning(); ++attempt)
        start();
}

XServer::~XServer()
{
    stop();
}

bool XServer::isRunning() const
{
    return m_connection && !xcb_connection_has_error(m_connection);
}

xcb_window_t XServer::root() const
{
    return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

void XServer::start()
{
    stop();
    int fds[2];
    if (::access("/usr/bin/Xvfb", X_OK) != 0 || ::pipe(fds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(fds[0]);
        std::vector<std::string> argv{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                      "tcp"};
        for (std::size_t index = 0; index < m_screens.size(); ++index)
            argv.insert(argv.end(), {"-screen", std::to_string(index), m_screens[index]});
        execQuietly(argv);
    }
    ::close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char buffer[32] = {};
    if (::poll(&ready, 1, 20000) == 1 && ::read(fds[0], buffer, sizeof buffer - 1) > 0)
        m_display = ":" + std::to_string(std::atoi(buffer));
    ::close(fds[0]);
    if (!m_display.empty())
        m_connection = xcb_connect(m_display.c_str(), nullptr);
}

void XServer::stop()
{
    for (pid_t* child : {&m_windowManager, &m_pid}) {
        if (*child > 0) {
            ::kill(*child, SIGTERM);
            ::waitpid(*child, nullptr, 0);
        }
        *child = -1;
    }
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_display.clear();
}

bool XServer::startWindowManager(const std::filesystem::path& home)
{
    if (!isRunning() || ::access("/usr/bin/openbox", X_OK) != 0)
        return false;
    m_windowManager = ::fork();
    if (m_windowManager == 0) {
        ::setenv("DISPLAY", m_display.c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_CACHE_HOME");
        execQuietly({"/usr/bin/openbox", "--sm-disable"});
    }
    // The manager drops windows mapped while it starts: it is ready once it manages a probe window.
    const xcb_window_t probe = makeWindow(0, "probe", "Probe", false);
    const xcb_atom_t clients = atom("_NET_CLIENT_LIST");
    bool managed = false;
    for (int i = 0; i < 500 && !managed; ++i) {
        if (i % 20 == 0) {
            xcb_unmap_window(m_connection, probe);
            xcb_map_window(m_connection, probe);
            sync();
        }
        QThread::msleep(10);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, root(), clients, XCB_ATOM_WINDOW, 0, 1024),
            nullptr);
        if (reply && reply->format == 32) {
            const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
            managed = std::find(windows, windows + xcb_get_property_value_length(reply) / 4, probe) !=
                      windows + xcb_get_property_value_length(reply) / 4;
        }
        std::free(reply);
    }
    xcb_destroy_window(m_connection, probe);
    sync();
    return managed;
}

int XServer::run(const std::vector<std::string>& argv) const
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::setenv("DISPLAY", m_display.c_str(), 1);
        execQuietly(argv);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

xcb_window_t XServer::makeWindow(pid_t owner, const std::string& instance, const std::string& windowClass,
                                 bool mapped, const char* type)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const xcb_window_t window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const auto pid = static_cast<std::uint32_t>(owner);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    setProperty(window, "WM_CLASS", "STRING", instance + '\0' + windowClass + '\0');
    if (type) {
        const xcb_atom_t typeAtom = atom(type);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &typeAtom);
    }
    if (mapped)
        xcb_map_window(m_connection, window);
    sync();
    return window;
}

void XServer::setProperty(xcb_window_t window, const std::string& name, const std::string& type,
                          const std::string& bytes)
{
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), atom(type), 8,
                        static_cast<std::uint32_t>(bytes.size()), bytes.data());
    sync();
}

void XServer::setClientList(const std::vector<xcb_window_t>& windows)
{
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root(), atom("_NET_CLIENT_LIST"),
                        XCB_ATOM_WINDOW, 32, static_cast<std::uint32_t>(windows.size()), windows.data());
    sync();
}

void XServer::setActiveWindow(xcb_window_t window)
{
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root(), atom("_NET_ACTIVE_WINDOW"),
                        XCB_ATOM_WINDOW, 32, 1, &window);
    sync();
}

bool XServer::pressKey() const
{
    return ::access("/usr/bin/xdotool", X_OK) == 0 && run({"/usr/bin/xdotool", "key", "shift"}) == 0;
}

xcb_atom_t XServer::atom(const std::string& name) const
{
    const auto cookie =
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

void XServer::sync() const
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace velquist::test
