#pragma once

#include "Shared/HomePaths.h"

#include <QUrl>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QThreadPool;

namespace velquist {

class AppRegistry;
class Clock;
class CommandLookup;
class DisplayMirroring;
class FileWatcher;
class FocusReturn;
class FrontmostApplication;
class LoginItem;
class PanelShaper;
class MotionPreference;
class PointerSource;
class ProcessRunner;
class Scheduler;
class ScreenGrabber;
class ScreenLock;
class ScreenProvider;
class SoundOutput;
class SystemIdle;
class TerminalBinder;
class Tmux;
class Trash;
class UrlOpener;
class UserDefaults;
class WindowSystem;

// What the running program is made of below its services: time, settings, the user's paths, the
// application's own worker pool and the platform objects. Built once in main.cpp (tests build one
// on doubles and a temporary home) and handed to the delegate, which hands each service what it
// uses through its constructor. Everything referred to must outlive the delegate.
//
// A platform object joins as one more member: a reference when every run has one (a Linux
// implementation or one that reports itself unavailable), a pointer defaulting to none when tests
// of the delegate may leave it out.
struct AppServices
{
    Clock& clock;
    Scheduler& scheduler;
    UserDefaults& defaults;
    // The home and support folders; nothing below main.cpp reads HOME.
    HomePaths paths;
    // Blocking work (process walks, child processes, outside files) runs here, never on the main
    // thread; the delegate waits for it before the objects it uses go.
    QThreadPool& workers;

    LoginItem& loginItem;
    Trash& trash;
    // Change notices for the transcript tailers.
    FileWatcher& transcriptWatcher;
    // The desktop's windows: the jump raises them, the glance watcher follows the active one.
    WindowSystem& windows;
    // The pointer outside our own windows, for the panels' hovering.
    PointerSource& pointer;
    // The attached screens the panels are laid out on.
    ScreenProvider& screens;
    // What the screen shows, for the tray's background behind the status icon.
    const ScreenGrabber& screenGrabber;
    // What the attention coordinator asks before it makes itself heard.
    SystemIdle& idle;
    ScreenLock& screenLock;
    FrontmostApplication& frontmost;
    // Whether a display is mirrored, which turns privacy mode on.
    DisplayMirroring& mirroring;
    SoundOutput& soundOutput;
    // Hands the keyboard back after a panel's text field took it.
    FocusReturn& focusReturn;
    UrlOpener& urls;
    // Binds sessions to their terminal application; none leaves bindings as the hooks sent them,
    // and without it there is no jumping to a terminal and no glance watching.
    const TerminalBinder* terminalBinder = nullptr;
    // Child processes, the login shell's command search and tmux; the terminal jump needs all
    // three, the usage reading the first two.
    ProcessRunner* processRunner = nullptr;
    CommandLookup* commandLookup = nullptr;
    Tmux* tmux = nullptr;
    // Lets clicks beside the notch through to the windows below; none: the panels take them all.
    PanelShaper* panelShaper = nullptr;

    // Where the Claude usage reading is asked for, when not at the real endpoint (a local server).
    std::optional<QUrl> claudeUsageURL = std::nullopt;

    // The desktop's wish for less motion; none: motion stays on.
    MotionPreference* motion = nullptr;

    // The application's executable, recorded in "app-path" for the hook client.
    std::filesystem::path appPath;
    // The hook client shipped with the application, copied into the support folder.
    std::filesystem::path hookClient;
    // Read-only resources: the built-in sounds ("sounds") and character packs ("Characters").
    std::filesystem::path resources;
    // The files that make up the application, which uninstalling moves to the trash.
    std::vector<std::filesystem::path> ownFiles;
    // Ends the application through its normal shutdown.
    std::function<void()> quit;
};

} // namespace velquist
