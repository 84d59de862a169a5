#include "Platform/Linux/KWinWindowSystem.h"

#include "support/FakeKWin.h"
#include "support/PrivateBus.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

// As the list script describes KWin's windows: a terminal on desktop 2 (KWin counts from 1) that
// is active and full screen, a minimised one of the same terminal, and an editor on every desktop.
const QString recordedWindows = QStringLiteral(R"([
  {"id": "{4c1d6a55-1111-4f7e-9c0e-aa0000000001}", "pid": 301, "title": "~/work: 3f2a9c1e claude",
   "resourceName": "konsole", "resourceClass": "org.kde.konsole", "desktop": 2, "x": 0, "y": 0,
   "width": 1920, "height": 1080, "fullScreen": true, "minimized": false, "active": true, "onCurrentDesktop": true},
  {"id": "{4c1d6a55-2222-4f7e-9c0e-aa0000000002}", "pid": 301, "title": "second", "resourceName": "konsole",
   "resourceClass": "org.kde.konsole", "desktop": 1, "x": 10.5, "y": 20, "width": 800, "height": 600,
   "fullScreen": false, "minimized": true, "active": false, "onCurrentDesktop": false},
  {"id": "{4c1d6a55-3333-4f7e-9c0e-aa0000000003}", "pid": 302, "title": "notes", "resourceName": "kate",
   "resourceClass": "org.kde.kate", "desktop": -1, "x": 100, "y": 100, "width": 640, "height": 480,
   "fullScreen": false, "minimized": false, "active": false, "onCurrentDesktop": true}
])");

// KWin on a private bus, answering from a thread of its own as the real one answers from its
// process while the client waits.
class KWinWindowSystemTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (!bus.isRunning())
            GTEST_SKIP() << "no dbus-daemon";
        QDBusConnection kwinBus = bus.connect(QStringLiteral("kwin"));
        ASSERT_TRUE(kwinBus.registerService(QStringLiteral("org.kde.KWin")));
        kwin = new test::FakeKWin(kwinBus);
        kwin->setWindows(recordedWindows);
        kwin->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, kwin, &QObject::deleteLater);
        thread.start();
        ASSERT_TRUE(
            kwinBus.registerObject(QStringLiteral("/Scripting"), kwin, QDBusConnection::ExportAllSlots));
        windows =
            std::make_unique<KWinWindowSystem>(bus.connect(QStringLiteral("app")), folder.path() / "scripts");
    }
    void TearDown() override
    {
        windows.reset();
        thread.quit();
        thread.wait();
    }

    test::PrivateBus bus;
    test::TemporaryFolder folder;
    QThread thread;
    test::FakeKWin* kwin = nullptr;
    std::unique_ptr<KWinWindowSystem> windows;
};

} // namespace

TEST_F(KWinWindowSystemTest, ReadsTheWindowsTheScriptReports)
{
    ASSERT_TRUE(windows->canListWindows());
    EXPECT_TRUE(windows->canWatchActiveWindow());

    const auto active = windows->activeWindow();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->pid, 301);
    EXPECT_EQ(active->title, "~/work: 3f2a9c1e claude");
    EXPECT_EQ(active->instance, "konsole");
    EXPECT_EQ(active->windowClass, "org.kde.konsole");
    EXPECT_EQ(active->desktop, 1u);
    EXPECT_TRUE(active->isFullScreen);
    EXPECT_EQ(active->frame, QRect(0, 0, 1920, 1080));

    const auto konsole = windows->windowsOf(301);
    ASSERT_EQ(konsole.size(), 2u);
    EXPECT_EQ(konsole[0].id, active->id) << "ids stay the same from one reading to the next";
    EXPECT_EQ(konsole[1].desktop, 0u);
    EXPECT_EQ(konsole[1].frame, QRect(10, 20, 800, 600));
    EXPECT_EQ(windows->windowsOf(302).at(0).desktop, WindowSystem::allDesktops);

    // The minimised window on another desktop is not on screen.
    const auto shown = windows->shownWindows();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].pid, 301);
    EXPECT_EQ(shown[1].pid, 302);

    // Every query's script is unloaded after it answered.
    EXPECT_GE(kwin->unloaded().size(), 4);
}

TEST_F(KWinWindowSystemTest, ActivatesTheWindowByKWinsOwnId)
{
    const auto second = windows->windowsOf(301).at(1);
    ASSERT_TRUE(windows->activate(second.id));
    const QString script = kwin->loadedScripts().back();
    EXPECT_TRUE(script.contains(QStringLiteral("var TARGET = \"{4c1d6a55-2222-4f7e-9c0e-aa0000000002}\"")));
    EXPECT_TRUE(script.contains(QStringLiteral("ws.currentDesktop =")))
        << "a window on another desktop brings its desktop along";

    // Gone from KWin's list, the window is refused by the script.
    kwin->setWindows(QStringLiteral("[]"));
    EXPECT_FALSE(windows->activate(second.id));
    const auto scripts = kwin->loadedScripts().size();
    EXPECT_FALSE(windows->activate(4242)) << "an id never handed out";
    EXPECT_EQ(kwin->loadedScripts().size(), scripts);
}

TEST_F(KWinWindowSystemTest, HearsChangesFromItsWatchingScriptAndRefusesAGarbledReport)
{
    QSignalSpy active(windows.get(), &WindowSystem::activeWindowChanged);
    QSignalSpy stacking(windows.get(), &WindowSystem::stackingChanged);
    QMetaObject::invokeMethod(kwin, [this] { kwin->announce(QStringLiteral("active")); });
    ASSERT_TRUE(test::waitUntil([&] { return active.count() == 1; }));
    QMetaObject::invokeMethod(kwin, [this] { kwin->announce(QStringLiteral("stacking")); });
    ASSERT_TRUE(test::waitUntil([&] { return stacking.count() == 1; }));

    // A report that is not a window list gives no window rather than a guess.
    KWinWindowSystem silent(bus.connect(QStringLiteral("other")), folder.path() / "silent");
    kwin->setWindows(QStringLiteral("not json"));
    EXPECT_FALSE(silent.activeWindow());
}

// The watching script as KWin would run it, here under node with a workspace made of signals: a
// window open before the script started and one opened later each report going full screen.
TEST_F(KWinWindowSystemTest, WatchingScriptReportsFullScreenChangesOfOpenAndNewWindows)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        GTEST_SKIP() << "no node to run the script with";
    QString watch;
    for (const QString& script : kwin->loadedScripts()) {
        if (script.contains(QStringLiteral("var SERVICE")))
            watch = script;
    }
    ASSERT_FALSE(watch.isEmpty());
    const QString program = QStringLiteral(R"JS(
function signal() {
    var slots = [];
    return {connect: function (f) { slots.push(f); }, fire: function (a) { slots.forEach(function (f) { f(a); }); }};
}
var told = [];
function callDBus(service, path, iface, method, what) { told.push(what); }
var early = {fullScreenChanged: signal()};
var workspace = {stackingOrder: [early], windowActivated: signal(), windowAdded: signal(),
                 windowRemoved: signal(), currentDesktopChanged: signal()};
)JS") + watch + QStringLiteral(R"JS(
told = [];
early.fullScreenChanged.fire();
var late = {fullScreenChanged: signal()};
workspace.windowAdded.fire(late);
late.fullScreenChanged.fire();
console.log(told.join(","));
)JS");
    const auto file = folder.path() / "watch-under-node.js";
    std::ofstream(file) << program.toStdString();
    QProcess run;
    run.start(node, {QString::fromStdString(file.string())});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(run.readAllStandardOutput().trimmed().toStdString(), "stacking,stacking,stacking");
}
