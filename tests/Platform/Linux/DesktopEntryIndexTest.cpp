#include "Platform/Linux/DesktopEntryIndex.h"

#include "support/base/TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

void write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string entry(const std::string& body)
{
    return "[Desktop Entry]\nType=Application\n" + body +
           "\n[Desktop Action new]\nName=Not this\nExec=other\n";
}

// Sets (or with none, unsets) an environment variable for one scope.
class ScopedVariable
{
  public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* previous = std::getenv(name))
            m_previous = previous;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_previous)
            ::setenv(m_name, m_previous->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

} // namespace

TEST(DesktopEntryIndexTest, TheUsersFolderIsUnderTheHomeHandedInNotHome)
{
    struct Case
    {
        std::optional<std::string> dataHome;
        fs::path home;
        std::optional<fs::path> first;
    } cases[] = {
        {std::nullopt, "/handed/in", fs::path("/handed/in/.local/share/applications")},
        {"", "/handed/in", fs::path("/handed/in/.local/share/applications")},
        {"relative/data", "/handed/in", fs::path("/handed/in/.local/share/applications")},
        {"/data/home", "/handed/in", fs::path("/data/home/applications")},
        {std::nullopt, "relative/home", std::nullopt},
    };
    const ScopedVariable home("HOME", "/from/environment");
    const ScopedVariable dataDirs("XDG_DATA_DIRS", "/system/share");
    for (const auto& c : cases) {
        const ScopedVariable dataHome("XDG_DATA_HOME", c.dataHome);
        std::vector<fs::path> expected;
        if (c.first)
            expected.push_back(*c.first);
        expected.push_back("/system/share/applications");
        EXPECT_EQ(DesktopEntryIndex::defaultDirectories(c.home), expected) << c.dataHome.value_or("(unset)");
    }
}

TEST(DesktopEntryIndexTest, FindsApplicationsByClassAndExecutable)
{
    test::TemporaryFolder folder;
    const auto user = folder.path() / "user";
    const auto system = folder.path() / "system";
    write(system / "org.gnome.Terminal.desktop",
          entry("Name=Terminal\nName[de]=Terminal (de)\nExec=gnome-terminal"));
    write(system / "kde/org.kde.konsole.desktop", entry("Name=Konsole\nExec=/usr/bin/konsole --nofork"));
    write(system / "tool.desktop",
          entry("Name=Tool\nExec=env GDK_BACKEND=x11 FOO=1 \"/opt/My Tool/tool\" %U\n"
                "StartupWMClass=ToolWindow"));
    write(system / "script.desktop", entry("Name=Script\nExec=python3 /usr/share/script/main.py"));
    write(system / "vim.desktop", entry("Name=Vim\nExec=vim %F\nTerminal=true"));
    write(system / "gone.desktop", entry("Name=Gone\nExec=gone"));
    write(user / "gone.desktop", entry("Name=Gone\nHidden=true"));
    write(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nExec=link\n");
    write(system / "broken.desktop", "no section at all\nExec=broken\n");
    write(system / "notes.txt", entry("Name=Notes\nExec=notes"));

    DesktopEntryIndex index({user, system, folder.path() / "missing"}, "de_DE.UTF-8");
    const auto id = [](const std::optional<DesktopEntry>& found) {
        return found ? found->id : std::string("-");
    };

    const std::pair<std::string, std::string> byExecutable[] = {
        {"gnome-terminal", "org.gnome.Terminal"},
        {"org.gnome.terminal", "org.gnome.Terminal"}, // by desktop id, ignoring case
        {"konsole", "kde-org.kde.konsole"},
        {"tool", "tool"},
        {"python3", "-"}, // an interpreter claims nothing
        {"main.py", "-"},
        {"vim", "-"},  // runs inside a terminal
        {"gone", "-"}, // hidden by the user's own entry
        {"link", "-"},
        {"broken", "-"},
        {"notes", "-"},
        {"other", "-"}, // an action's command, not the application's
    };
    for (const auto& [name, expected] : byExecutable)
        EXPECT_EQ(id(index.byExecutable(name)), expected) << name;

    EXPECT_EQ(id(index.byWindowClass("toolwindow")), "tool");
    EXPECT_EQ(id(index.byWindowClass("org.gnome.Terminal")), "org.gnome.Terminal");
    EXPECT_EQ(id(index.byWindowClass("gnome-terminal")), "-");
    EXPECT_EQ(index.byExecutable("gnome-terminal")->name, "Terminal (de)");
    EXPECT_EQ(index.byExecutable("tool")->name, "Tool");
}

TEST(DesktopEntryIndexTest, InterpretersAreToldFromProgramsThatMerelyShareAPrefix)
{
    for (const char* name : {"python3", "python3.11", "perl", "node", "sh", "bash", "env", "flatpak", "java"})
        EXPECT_TRUE(DesktopEntryIndex::isInterpreter(name)) << name;
    for (const char* name : {"shotwell", "nodejs-app", "kitty", "envoy", "javac-gui", "konsole"})
        EXPECT_FALSE(DesktopEntryIndex::isInterpreter(name)) << name;
}
