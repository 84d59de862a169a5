#pragma once

#include "Platform/AppRegistry.h"

#include <QObject>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

class ProcessRunner;
class UrlOpener;
class WindowSystem;
struct Session;

// What the strategies work with: child processes, the desktop's windows, URL opening, and a way to
// find a terminal's command-line tool.
struct TerminalTools
{
    ProcessRunner& runner;
    WindowSystem& windows;
    UrlOpener& urls;
    // The path of the tool `name` for the application; none when it is not installed. Called on a
    // worker (it may search the login shell's PATH).
    std::function<std::optional<std::string>(const std::string& name, const RunningApp& app)> locate;
};

// A terminal's own way to bring one of its tabs or panes to the front.
class TerminalFocusStrategy
{
  public:
    using Done = std::function<void(bool)>;

    virtual ~TerminalFocusStrategy() = default;

    // The identifiers of the applications it serves.
    virtual std::vector<std::string> bundleIDs() const = 0;
    // Brings the session's surface to the front inside `app`, which is already in front. `done`
    // gets true only when that worked; it runs on the calling thread unless `context` has gone.
    virtual void focus(const Session& session, const RunningApp& app, QObject* context, Done done) = 0;
};

} // namespace velquist
