#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// An installed application as its desktop file describes it.
struct DesktopEntry
{
    // The desktop id: the file's path below its "applications" folder, "/" turned into "-",
    // without ".desktop" ("org.gnome.Terminal").
    std::string id;
    // Name in the user's language, else the plain Name.
    std::optional<std::string> name;
    // The program its command runs ("xterm"); empty for an interpreter or launcher.
    std::string program = {};
};

// The desktop files of the installed graphical applications, read once, looked up by window class
// and by executable. Programs that run inside a terminal (Terminal=true) are left out: they are no
// application of their own. So are entries whose command is an interpreter or launcher, which would
// otherwise claim every script that interpreter runs.
class DesktopEntryIndex
{
  public:
    // `directories` in order of precedence ($XDG_DATA_HOME first); `locale` as in LANG.
    DesktopEntryIndex(const std::vector<std::filesystem::path>& directories, const std::string& locale);

    // The "applications" folders of $XDG_DATA_HOME and $XDG_DATA_DIRS, with their defaults; the
    // first default is under `home`, the user's home folder as the application was handed it.
    static std::vector<std::filesystem::path> defaultDirectories(const std::filesystem::path& home);
    // LC_ALL, else LC_MESSAGES, else LANG.
    static std::string defaultLocale();

    // The entry whose StartupWMClass or desktop id is `windowClass`, ignoring case.
    std::optional<DesktopEntry> byWindowClass(std::string_view windowClass) const;
    // The entry whose command is the program `name`, or whose desktop id is `name`, ignoring case.
    std::optional<DesktopEntry> byExecutable(std::string_view name) const;

    // The entries in the "TerminalEmulator" category, by name.
    const std::vector<DesktopEntry>& terminalEmulators() const { return m_terminals; }

    // Whether a program runs other programs' code (python, sh, env, flatpak ...).
    static bool isInterpreter(std::string_view program);

  private:
    void add(const std::string& id, const std::string& text, const std::string& locale);

    std::map<std::string, bool> m_seenIds;
    std::map<std::string, DesktopEntry> m_byClass;
    std::map<std::string, DesktopEntry> m_byExecutable;
    std::vector<DesktopEntry> m_terminals;
};

} // namespace velquist
