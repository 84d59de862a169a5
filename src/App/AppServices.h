#pragma once

#include "Shared/HomePaths.h"

#include <filesystem>
#include <functional>
#include <vector>

class QThreadPool;

namespace velquist {

class AppRegistry;
class Clock;
class CommandLookup;
class FileWatcher;
class LoginItem;
class ProcessRunner;
class Scheduler;
class TerminalBinder;
class Trash;
class UserDefaults;

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
    // Binds sessions to their terminal application; none leaves bindings as the hooks sent them.
    const TerminalBinder* terminalBinder = nullptr;
    // Child processes and the login shell's command search; without both there is no usage
    // reading.
    ProcessRunner* processRunner = nullptr;
    CommandLookup* commandLookup = nullptr;

    // The application's executable, recorded in "app-path" for the hook client.
    std::filesystem::path appPath;
    // The hook client shipped with the application, copied into the support folder.
    std::filesystem::path hookClient;
    // The files that make up the application, which uninstalling moves to the trash.
    std::vector<std::filesystem::path> ownFiles;
    // Ends the application through its normal shutdown.
    std::function<void()> quit;
};

} // namespace velquist
