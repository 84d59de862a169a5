#include "Platform/Linux/LinuxAppRegistry.h"

#include "support/base/TemporaryHome.h"

#include <QThread>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

// A running process whose executable has the given name: a copy of sleep.
class NamedProcess
{
  public:
    NamedProcess(const fs::path& folder, const std::string& name)
    {
        const auto path = folder / name;
        fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
        fs::permissions(path, fs::perms::owner_all);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl(path.c_str(), name.c_str(), "60", nullptr);
            ::_exit(127);
        }
        // Until exec has happened the child is still a copy of this test.
        for (int i = 0; i < 500 && LinuxAppRegistry::executableNames(m_pid).front() != name; ++i)
            QThread::msleep(5);
    }
    ~NamedProcess()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

  private:
    pid_t m_pid;
};

void write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class LinuxAppRegistryTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        write(applications / "org.example.MyTool.desktop",
              "[Desktop Entry]\nType=Application\nName=My Tool\nName[de]=Mein Werkzeug\nExec=/opt/x/mytool "
              "--flag\n");
        write(applications / "termprog.desktop",
              "[Desktop Entry]\nType=Application\nName=TermProg\nExec=termprog\nTerminal=true\n");
    }
    LinuxAppRegistry::Options options(std::string display = {}) const
    {
        return {std::move(display), {applications}, "de_DE.UTF-8"};
    }

    test::TemporaryFolder folder;
    fs::path applications = folder.path() / "applications";
};

} // namespace

TEST_F(LinuxAppRegistryTest, WithoutAnXServerApplicationsAreKnownByTheirExecutable)
{
    LinuxAppRegistry registry(options());
    EXPECT_FALSE(registry.canSeeWindows());

    struct Case
    {
        std::string executable;
        std::optional<RunningApp> expected; // pid filled in below
    };
    const Case cases[] = {
        {"kitty", RunningApp{0, "net.kovidgoyal.kitty", "kitty", false}},
        {"wezterm-gui", RunningApp{0, "com.github.wez.wezterm", "WezTerm", false}},
        {"alacritty", RunningApp{0, "org.alacritty", "Alacritty", false}},
        {"ghostty", RunningApp{0, "com.mitchellh.ghostty", "Ghostty", false}},
        {"warp-terminal", RunningApp{0, "dev.warp.Warp-Stable", "Warp", false}},
        {"gnome-terminal-server", RunningApp{0, "org.gnome.Terminal", "Terminal", false}},
        {"mytool", RunningApp{0, "org.example.MyTool", "Mein Werkzeug", false}},
        {"termprog", std::nullopt}, // runs inside a terminal
        {"sleep", std::nullopt},    // no application at all
    };
    for (const auto& c : cases) {
        NamedProcess process(folder.path(), c.executable);
        auto expected = c.expected;
        if (expected)
            expected->pid = process.pid();
        EXPECT_EQ(registry.application(process.pid()), expected) << c.executable;
    }
}

TEST_F(LinuxAppRegistryTest, GoneAndInvalidProcessesAreNoApplication)
{
    LinuxAppRegistry registry(options());
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    for (const pid_t pid : {gone, pid_t{0}, pid_t{-1}})
        EXPECT_EQ(registry.application(pid), std::nullopt) << pid;
    EXPECT_TRUE(LinuxAppRegistry::executableNames(gone).empty());
}

TEST_F(LinuxAppRegistryTest, ExecutableNamesIncludeTheScriptAnInterpreterRuns)
{
    const auto script = folder.path() / "my-terminal";
    // Stops itself: a child of its own would outlive the test and hold its output open.
    write(script, "kill -STOP $$\n");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", script.c_str(), nullptr);
        ::_exit(127);
    }
    std::vector<std::string> names;
    for (int i = 0; i < 500; ++i) {
        names = LinuxAppRegistry::executableNames(pid);
        if (names.size() == 3)
            break;
        QThread::msleep(5);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1], "sh");
    EXPECT_EQ(names[2], "my-terminal");
}

namespace {

// A private X server (Xvfb), and windows made on it for other processes.
class XServer
{
  public:
    XServer()
    {
        // Servers started side by side by parallel tests can race for a display number.
        for (int attempt = 0; attempt < 5 && !isRunning(); ++attempt)
            start();
    }
    ~XServer() { stop(); }
    bool isRunning() const { return m_connection && !xcb_connection_has_error(m_connection); }
    const std::string& display() const { return m_display; }

    xcb_window_t makeWindow(pid_t owner, const std::string& instance, const std::string& windowClass,
                            bool mapped, const char* type = nullptr)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 50, 50, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const uint32_t pid = static_cast<uint32_t>(owner);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &pid);
        const std::string classes = instance + '\0' + windowClass + '\0';
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                            8, static_cast<uint32_t>(classes.size()), classes.data());
        if (type) {
            const xcb_atom_t typeAtom = atom(type);
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                                XCB_ATOM_ATOM, 32, 1, &typeAtom);
        }
        if (mapped)
            xcb_map_window(m_connection, window);
        xcb_aux_sync();
        return window;
    }
    // What a window manager publishes: the windows it manages, mapped or not.
    void setClientList(const std::vector<xcb_window_t>& windows)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, screen->root, atom("_NET_CLIENT_LIST"),
                            XCB_ATOM_WINDOW, 32, static_cast<uint32_t>(windows.size()), windows.data());
        xcb_aux_sync();
    }

  private:
    void start()
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
    void stop()
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
    xcb_atom_t atom(const char* name)
    {
        const auto cookie = xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    }
    // A round trip, so the server has seen every request before the registry asks.
    void xcb_aux_sync()
    {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    pid_t m_pid = -1;
    std::string m_display;
    xcb_connection_t* m_connection = nullptr;
};

} // namespace

TEST_F(LinuxAppRegistryTest, WindowsMakeRegularApplicationsAndNameThem)
{
    XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    LinuxAppRegistry registry(options(x.display()));
    EXPECT_TRUE(registry.canSeeWindows());

    NamedProcess plain(folder.path(), "sometool");
    NamedProcess byClass(folder.path(), "alacritty-wrapper");
    NamedProcess hidden(folder.path(), "hiddentool");
    NamedProcess dock(folder.path(), "paneltool");
    NamedProcess windowless(folder.path(), "kitty");
    x.makeWindow(plain.pid(), "sometool", "SomeTool", true);
    x.makeWindow(byClass.pid(), "Alacritty", "Alacritty", true);
    x.makeWindow(hidden.pid(), "hiddentool", "HiddenTool", false);
    x.makeWindow(dock.pid(), "paneltool", "PanelTool", true, "_NET_WM_WINDOW_TYPE_DOCK");

    EXPECT_EQ(registry.application(plain.pid()), (RunningApp{plain.pid(), "sometool", "SomeTool", true}));
    EXPECT_EQ(registry.application(byClass.pid()),
              (RunningApp{byClass.pid(), "org.alacritty", "Alacritty", true}));
    // An unmapped window is nobody's window without a window manager to say otherwise.
    EXPECT_EQ(registry.application(hidden.pid()), std::nullopt);
    EXPECT_EQ(registry.application(dock.pid()), std::nullopt);
    EXPECT_EQ(registry.application(windowless.pid()),
              (RunningApp{windowless.pid(), "net.kovidgoyal.kitty", "kitty", false}));
}

TEST_F(LinuxAppRegistryTest, AWindowManagersClientListIncludesMinimisedWindows)
{
    XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    NamedProcess minimised(folder.path(), "mytool");
    NamedProcess unlisted(folder.path(), "othertool");
    const auto window = x.makeWindow(minimised.pid(), "mytool", "MyTool", false);
    x.makeWindow(unlisted.pid(), "othertool", "OtherTool", true);
    x.setClientList({window});

    LinuxAppRegistry registry(options(x.display()));
    EXPECT_EQ(registry.application(minimised.pid()),
              (RunningApp{minimised.pid(), "org.example.MyTool", "Mein Werkzeug", true}));
    EXPECT_EQ(registry.application(unlisted.pid()), std::nullopt);
}
