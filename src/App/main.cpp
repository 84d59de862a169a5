#include "App/AppDelegate.h"
#include "App/InstanceLock.h"
#include "App/SecondLaunchListener.h"
#include "App/UnixSignalWatcher.h"
#include "Core/CommandLookup.h"
#include "Core/QtScheduler.h"
#include "Core/SystemClock.h"
#include "Platform/Linux/CanberraSoundOutput.h"
#include "Platform/Linux/CompositorFrontmostApplication.h"
#include "Platform/Linux/DBusScreenLock.h"
#include "Platform/Linux/DesktopUrlOpener.h"
#include "Platform/Linux/InotifyFileWatcher.h"
#include "Platform/Linux/JsonFileDefaults.h"
#include "Platform/Linux/LinuxAppRegistry.h"
#include "Platform/Linux/LinuxPointerSource.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Platform/Linux/LinuxTrash.h"
#include "Platform/Linux/LinuxWindowSystem.h"
#include "Platform/Linux/PortalMotionPreference.h"
#include "Platform/Linux/QtPlatformChoice.h"
#include "Platform/Linux/QtScreenGrabber.h"
#include "Platform/Linux/QtScreenProvider.h"
#include "Platform/Linux/WindowSystemChoice.h"
#include "Platform/Linux/X11FrontmostApplication.h"
#include "Platform/Linux/XRandrMirroring.h"
#include "Platform/Linux/XScreenSaverIdle.h"
#include "Platform/Linux/XcbPanelShaper.h"
#include "Platform/Linux/XdgAutostartLoginItem.h"
#include "Platform/UnavailablePointerSource.h"
#include "Shared/AppPaths.h"
#include "Shared/HomePaths.h"
#include "Shared/Log.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/Tmux.h"
#include "Usage/ClaudeUsageProvider.h"

#include <QApplication>
#include <QThreadPool>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <system_error>

using namespace velquist;

namespace {

// The executable and the hook client shipped beside it: all that removing the application may
// move to the trash.
std::vector<std::filesystem::path> ownFiles()
{
    std::vector<std::filesystem::path> files{AppPaths::executablePath()};
    std::error_code ec;
    if (std::filesystem::is_regular_file(AppPaths::bundledHelper(), ec))
        files.push_back(AppPaths::bundledHelper());
    return files;
}

// VELQUIST_CLAUDE_USAGE_URL points the Claude usage reading at another server, for a developer or an
// end-to-end test with a local one: an https URL, or http on the loopback address. Only the
// environment the application was started with can set it, never a file an agent could write;
// a value that is not such a URL is refused with a log line and the real endpoint is used.
std::optional<QUrl> claudeUsageURL()
{
    const char* value = std::getenv(ClaudeUsageProvider::kUsageURLVariable);
    if (!value || !*value)
        return std::nullopt;
    auto url = ClaudeUsageProvider::usageURLOverride(value);
    if (!url)
        Log::system(std::string(ClaudeUsageProvider::kUsageURLVariable) +
                    " is not an https URL nor http on the loopback address; ignored");
    return url;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    // Every waiting hook client holds a connection; the default soft limit of 1024 descriptors
    // would make a busy machine's agents wait for accepts.
    if (struct rlimit files{}; ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, 65536);
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    QtPlatformChoice::apply();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velquist"));
    QApplication::setApplicationVersion(QStringLiteral(VELQUIST_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    // Termination requests end the event loop, so the shutdown below saves the sessions and
    // removes the socket.
    UnixSignalWatcher signals({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&signals, &UnixSignalWatcher::received, &app, [] { QApplication::quit(); });

    // Taken before any service exists and held until the process ends; a second copy leaves
    // without touching anything of the first one's.
    const HomePaths paths = HomePaths::fromEnvironment();
    const InstanceLock instance(InstanceLock::fileIn(paths));
    if (instance.state() == InstanceLock::State::heldElsewhere) {
        // The user asked for the application: the running one shows its settings window, which
        // is the way in on a desktop without a tray.
        InstanceLock::tellHolder(InstanceLock::fileIn(paths));
        Log::system("Velquist: another instance is already running; exiting.");
        return 0;
    }
    if (instance.state() == InstanceLock::State::unavailable)
        Log::debug("store", "single-instance lock unavailable: " + instance.error());

    SystemClock clock;
    QtScheduler scheduler;
    // Declared before the delegate: its work must end before what it uses goes.
    QThreadPool workers;
    JsonFileDefaults defaults(paths.defaultsFile());
    // Where the program runs from decides both: an installed tree's own program starts at login,
    // and its packs and sounds come from its share folder.
    XdgAutostartLoginItem loginItem(AppPaths::executablePath(), XdgAutostartLoginItem::entryIn(paths.home()));
    const std::filesystem::path resources = AppPaths::resourceDirectory();
    Log::debug("app",
               "running " + AppPaths::executablePath().string() + " with resources in " + resources.string());
    const auto files = ownFiles();
    LinuxTrash trash(files);
    InotifyFileWatcher transcriptWatcher;
    LinuxProcessRunner runner;
    CommandLookup lookup(runner);
    Tmux tmux(runner, lookup);
    const std::string display = LinuxWindowSystem::displayFromEnvironment();
    const std::unique_ptr<WindowSystem> windowSystem = WindowSystemChoice::create(display);
    LinuxAppRegistry registry(*windowSystem, LinuxAppRegistry::Options::forHome(paths.home()));
    TerminalBinder terminalBinder(registry, &tmux);
    // Under Wayland the panels are X11 windows of XWayland, which reports the pointer while it is
    // over them: enough for hovering and clicking a panel, though windows of the Wayland session
    // stay out of reach. Without an X display each of these reports itself unavailable.
    const char* xDisplay = std::getenv("DISPLAY");
    const std::string pointerDisplay =
        QGuiApplication::platformName() == QLatin1String("xcb") && xDisplay ? xDisplay : display;
    const std::unique_ptr<PointerSource> pointer =
        pointerDisplay.empty() ? std::unique_ptr<PointerSource>(std::make_unique<UnavailablePointerSource>())
                               : std::make_unique<LinuxPointerSource>(pointerDisplay);
    QtScreenProvider screens;
    QtScreenGrabber screenGrabber;
    XScreenSaverIdle idle(display, clock);
    DBusScreenLock screenLock(DBusScreenLock::Buses::fromEnvironment());
    XRandrMirroring mirroring(display);
    CanberraSoundOutput soundOutput;
    // The active window's owner, and the focus handed back after a text field.
    X11FrontmostApplication x11Frontmost(display);
    // Under Wayland the compositor's own interface, where it has one, tells the active window.
    const auto compositorFrontmost =
        display.empty() ? std::make_unique<CompositorFrontmostApplication>(*windowSystem) : nullptr;
    FrontmostApplication& frontmost =
        compositorFrontmost ? static_cast<FrontmostApplication&>(*compositorFrontmost) : x11Frontmost;
    FocusReturn& focusReturn =
        compositorFrontmost ? static_cast<FocusReturn&>(*compositorFrontmost) : x11Frontmost;
    DesktopUrlOpener urls;
    const std::unique_ptr<PanelShaper> panelShaper = XcbPanelShaper::create();
    PortalMotionPreference motion;

    AppDelegate delegate({.clock = clock,
                          .scheduler = scheduler,
                          .defaults = defaults,
                          .paths = paths,
                          .workers = workers,
                          .loginItem = loginItem,
                          .trash = trash,
                          .transcriptWatcher = transcriptWatcher,
                          .windows = *windowSystem,
                          .pointer = *pointer,
                          .screens = screens,
                          .screenGrabber = screenGrabber,
                          .idle = idle,
                          .screenLock = screenLock,
                          .frontmost = frontmost,
                          .mirroring = mirroring,
                          .soundOutput = soundOutput,
                          .focusReturn = focusReturn,
                          .urls = urls,
                          .terminalBinder = &terminalBinder,
                          .processRunner = &runner,
                          .commandLookup = &lookup,
                          .tmux = &tmux,
                          .panelShaper = panelShaper.get(),
                          .claudeUsageURL = claudeUsageURL(),
                          .motion = &motion,
                          .appPath = AppPaths::executablePath(),
                          .hookClient = AppPaths::bundledHelper(),
                          .resources = resources,
                          .ownFiles = files,
                          .quit = [] { QApplication::quit(); }});
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    delegate.applicationDidFinishLaunching(QApplication::arguments());
    SecondLaunchListener laterLaunches(instance.nameSocket());
    QObject::connect(&laterLaunches, &SecondLaunchListener::launched, &delegate, &AppDelegate::openSettings);

    return QApplication::exec();
}
