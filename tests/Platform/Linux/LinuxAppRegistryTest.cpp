#include "Platform/Linux/LinuxAppRegistry.h"

#include "Platform/Linux/LinuxWindowSystem.h"
#include "Platform/UnavailableWindowSystem.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

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
    LinuxAppRegistry::Options options() const { return {{applications}, "de_DE.UTF-8"}; }

    test::TemporaryFolder folder;
    fs::path applications = folder.path() / "applications";
};

} // namespace

TEST_F(LinuxAppRegistryTest, WithoutAnXServerApplicationsAreKnownByTheirExecutable)
{
    UnavailableWindowSystem noWindows;
    LinuxAppRegistry registry(noWindows, options());
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

TEST_F(LinuxAppRegistryTest, InstalledTerminalsCarryTheIdentifierTheirProcessesGet)
{
    write(applications / "debian-xterm.desktop",
          "[Desktop Entry]\nType=Application\nName=XTerm\nExec=xterm\nCategories=System;TerminalEmulator;\n");
    write(applications / "kitty.desktop", "[Desktop Entry]\nType=Application\nName=kitty\nExec=kitty "
                                          "--single-instance\nCategories=System;TerminalEmulator;\n");
    write(applications / "org.example.Zterm.desktop",
          "[Desktop Entry]\nType=Application\nName=Zed Term\nName[de]=Ein Terminal\nExec=/usr/bin/zterm\n"
          "Categories=TerminalEmulator\n");
    write(applications / "gone-term.desktop",
          "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\nExec="
          "goneterm\nCategories=TerminalEmulator;\n");
    UnavailableWindowSystem noWindows;
    LinuxAppRegistry registry(noWindows, options());
    EXPECT_EQ(registry.installedTerminals(), (std::vector<InstalledApp>{{"org.example.Zterm", "Ein Terminal"},
                                                                        {"net.kovidgoyal.kitty", "kitty"},
                                                                        {"debian-xterm", "XTerm"}}))
        << "by name, the tool and the hidden entry left out";
    NamedProcess xterm(folder.path(), "xterm");
    EXPECT_EQ(registry.application(xterm.pid())->identifier, "debian-xterm") << "what a rule then matches";
}

TEST_F(LinuxAppRegistryTest, GoneAndInvalidProcessesAreNoApplication)
{
    UnavailableWindowSystem noWindows;
    LinuxAppRegistry registry(noWindows, options());
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

TEST_F(LinuxAppRegistryTest, WindowsMakeRegularApplicationsAndNameThem)
{
    test::XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    LinuxWindowSystem windows(x.display());
    LinuxAppRegistry registry(windows, options());
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
    test::XServer x;
    if (!x.isRunning())
        GTEST_SKIP() << "no Xvfb";
    NamedProcess minimised(folder.path(), "mytool");
    NamedProcess unlisted(folder.path(), "othertool");
    const auto window = x.makeWindow(minimised.pid(), "mytool", "MyTool", false);
    x.makeWindow(unlisted.pid(), "othertool", "OtherTool", true);
    x.setClientList({window});

    LinuxWindowSystem windows(x.display());
    LinuxAppRegistry registry(windows, options());
    EXPECT_EQ(registry.application(minimised.pid()),
              (RunningApp{minimised.pid(), "org.example.MyTool", "Mein Werkzeug", true}));
    EXPECT_EQ(registry.application(unlisted.pid()), std::nullopt);
}
