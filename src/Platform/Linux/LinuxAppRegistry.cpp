#include "Platform/Linux/LinuxAppRegistry.h"

#include "Platform/Linux/DesktopEntryIndex.h"
#include "Platform/WindowSystem.h"
#include "Shared/FileUtil.h"
#include "Shared/ProgramName.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace velquist {

namespace fs = std::filesystem;

namespace {

// Terminals whose identifiers stay the same on every system, matched by executable or window class.
struct KnownApp
{
    std::array<std::string_view, 3> names;
    std::string_view identifier;
    std::string_view name;
};
constexpr KnownApp knownApps[] = {
    {{"kitty"}, "net.kovidgoyal.kitty", "kitty"},
    {{"wezterm-gui", "org.wezfurlong.wezterm"}, "com.github.wez.wezterm", "WezTerm"},
    {{"alacritty"}, "org.alacritty", "Alacritty"},
    {{"warp", "warp-terminal", "dev.warp.Warp"}, "dev.warp.Warp-Stable", "Warp"},
    {{"ghostty", "com.mitchellh.ghostty"}, "com.mitchellh.ghostty", "Ghostty"},
    // Its windows belong to the server process, which no desktop file names.
    {{"gnome-terminal-server"}, "org.gnome.Terminal", "Terminal"},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

const KnownApp* knownApp(const std::vector<std::string>& names)
{
    for (const auto& name : names) {
        for (const auto& app : knownApps) {
            if (std::any_of(app.names.begin(), app.names.end(), [&name](std::string_view known) {
                    return !known.empty() && equalsIgnoringCase(known, name);
                }))
                return &app;
        }
    }
    return nullptr;
}

} // namespace

LinuxAppRegistry::Options LinuxAppRegistry::Options::forHome(const std::filesystem::path& home)
{
    Options options;
    options.applicationDirectories = DesktopEntryIndex::defaultDirectories(home);
    options.locale = DesktopEntryIndex::defaultLocale();
    return options;
}

LinuxAppRegistry::LinuxAppRegistry(const WindowSystem& windows, Options options)
    : m_options(std::move(options)), m_windows(windows)
{
}

LinuxAppRegistry::~LinuxAppRegistry() = default;

const DesktopEntryIndex& LinuxAppRegistry::desktopEntries() const
{
    // Read at the first question, not at start-up, which should not wait on a folder scan.
    if (!m_desktopEntries)
        m_desktopEntries =
            std::make_unique<DesktopEntryIndex>(m_options.applicationDirectories, m_options.locale);
    return *m_desktopEntries;
}

std::vector<std::string> LinuxAppRegistry::executableNames(pid_t pid)
{
    std::vector<std::string> names;
    const auto add = [&names](std::string name) {
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    };
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    std::string executable = fs::read_symlink(proc + "/exe", ec).string();
    // A binary replaced by an upgrade while it runs.
    if (constexpr std::string_view deleted = " (deleted)"; executable.ends_with(deleted))
        executable.resize(executable.size() - deleted.size());
    add(ProgramName::baseName(executable));

    const auto cmdline = FileUtil::read(proc + "/cmdline", 64 * 1024);
    if (cmdline.ok() && !cmdline.bytes.empty()) {
        const std::string& bytes = cmdline.bytes;
        const auto end0 = bytes.find('\0');
        const std::string argv0 = bytes.substr(0, end0);
        // Some programs rewrite argv[0] into a status line; only its first word names them.
        add(ProgramName::baseName(argv0.substr(0, argv0.find(' '))));
        const bool interpreted = !names.empty() && DesktopEntryIndex::isInterpreter(names.front());
        if (interpreted && end0 != std::string::npos && end0 + 1 < bytes.size()) {
            const std::string argv1 = bytes.substr(end0 + 1, bytes.find('\0', end0 + 1) - end0 - 1);
            if (!argv1.empty() && argv1[0] != '-')
                add(ProgramName::baseName(argv1));
        }
    }
    if (names.empty()) {
        // Another user's process hides its executable but not its name.
        const auto comm = FileUtil::read(proc + "/comm", 4096);
        if (comm.ok())
            add(comm.bytes.substr(0, comm.bytes.find('\n')));
    }
    return names;
}

std::optional<RunningApp> LinuxAppRegistry::application(pid_t pid) const
{
    if (pid <= 0)
        return std::nullopt;
    const auto names = executableNames(pid);
    if (names.empty())
        return std::nullopt;

    const auto windows = m_windows.windowsOf(pid);
    const auto window = windows.empty() ? std::nullopt : std::optional(windows.front());
    std::lock_guard lock(m_mutex);
    std::vector<std::string> classes;
    if (window) {
        for (const auto& name : {window->instance, window->windowClass}) {
            if (!name.empty())
                classes.push_back(name);
        }
    }
    const auto& desktop = desktopEntries();
    std::optional<DesktopEntry> entry;
    for (const auto& windowClass : classes) {
        if ((entry = desktop.byWindowClass(windowClass)))
            break;
    }
    for (std::size_t i = 0; !entry && i < names.size(); ++i)
        entry = desktop.byExecutable(names[i]);

    RunningApp app;
    app.pid = pid;
    app.isRegular = window.has_value();
    std::vector<std::string> allNames = classes;
    allNames.insert(allNames.end(), names.begin(), names.end());
    if (const KnownApp* known = knownApp(allNames)) {
        app.identifier = known->identifier;
        app.localizedName = entry && entry->name ? *entry->name : std::string(known->name);
    } else if (entry) {
        app.identifier = entry->id;
        app.localizedName = entry->name ? entry->name : std::optional(names.front());
    } else if (window) {
        app.identifier = names.front();
        app.localizedName = window->windowClass.empty() ? names.front() : window->windowClass;
    } else {
        return std::nullopt;
    }
    return app;
}

std::vector<InstalledApp> LinuxAppRegistry::installedTerminals() const
{
    std::lock_guard lock(m_mutex);
    std::vector<InstalledApp> terminals;
    for (const DesktopEntry& entry : desktopEntries().terminalEmulators()) {
        // The identifier `application` gives the terminal's processes, which is what rules name.
        const KnownApp* known = knownApp({entry.program, entry.id});
        InstalledApp app{known ? std::string(known->identifier) : entry.id, entry.name.value_or(entry.id)};
        if (std::find(terminals.begin(), terminals.end(), app) == terminals.end())
            terminals.push_back(std::move(app));
    }
    return terminals;
}

bool LinuxAppRegistry::canSeeWindows() const
{
    return m_windows.canListWindows();
}

} // namespace velquist
