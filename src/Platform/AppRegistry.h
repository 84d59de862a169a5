#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velquist {

// A process that is a graphical application in its own right.
struct RunningApp
{
    pid_t pid = 0;
    // Stable identifier: a fixed one for the terminals we know, else the desktop id
    // ("org.gnome.Terminal"), else the executable's name. Never empty.
    std::string identifier;
    // The name a user knows it by, in the user's language where the system has it.
    std::optional<std::string> localizedName;
    // Whether it shows ordinary top-level windows of its own (not a panel, not a background helper).
    bool isRegular = false;

    bool operator==(const RunningApp&) const = default;
};

// An application installed on this computer: its identifier as `RunningApp` gives it, and its name.
struct InstalledApp
{
    std::string identifier;
    std::string name;

    bool operator==(const InstalledApp&) const = default;
};

// Which application a process is.
class AppRegistry
{
  public:
    virtual ~AppRegistry() = default;

    // The application that `pid` itself is, or none when it is no application (a shell, a tool).
    virtual std::optional<RunningApp> application(pid_t pid) const = 0;
    // Whether windows can be seen at all; without, no application is reported as regular.
    virtual bool canSeeWindows() const = 0;
    // The terminal applications installed here, by name, each with the identifier its processes
    // get; none where they cannot be told. Reads files: not on the main thread in a loop.
    virtual std::vector<InstalledApp> installedTerminals() const { return {}; }
};

} // namespace velquist
