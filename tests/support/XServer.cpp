#include "support/XServer.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace velquist::test {

XServer::XServer()
{
    // Servers started side by side by parallel tests can race for a display number.
    for (int attempt = 0; attempt < 5 && !isRunning(); ++attempt)
        start();
}

XServer::~XServer()
{
    stop();
}

xcb_window_t XServer::makeWindow(pid_t owner, const std::string& instance, const std::string& windowClass,
                                 bool mapped, const char* type)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const xcb_window_t window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 50, 50, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const uint32_t pid = static_cast<uint32_t>(owner);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                        32, 1, &pid);
    const std::string classes = instance + '\0' + windowClass + '\0';
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(classes.size()), classes.data());
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

void XServer::setClientList(const std::vector<xcb_window_t>& windows)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, screen->root, atom("_NET_CLIENT_LIST"),
                        XCB_ATOM_WINDOW, 32, static_cast<uint32_t>(windows.size()), windows.data());
    sync();
}

void XServer::setActiveWindow(xcb_window_t window)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, screen->root, atom("_NET_ACTIVE_WINDOW"),
                        XCB_ATOM_WINDOW, 32, 1, &window);
    sync();
}

bool XServer::pressKey()
{
    if (::access("/usr/bin/xdotool", X_OK) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("DISPLAY", m_display.c_str(), 1);
        ::execl("/usr/bin/xdotool", "xdotool", "key", "shift", nullptr);
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

xcb_atom_t XServer::atom(const char* name)
{
    const auto cookie = xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

void XServer::sync()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
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
        const std::string fd = std::to_string(fds[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                "320x240x24", nullptr);
        ::_exit(127);
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
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    m_display.clear();
}

} // namespace velquist::test
