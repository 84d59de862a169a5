#pragma once

#include "App/AppServices.h"
#include "support/DesktopProbes.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingFileWatcher.h"
#include "support/RecordingLoginItem.h"
#include "support/RecordingPointerSource.h"
#include "support/RecordingScreenGrabber.h"
#include "support/RecordingScreenProvider.h"
#include "support/RecordingSoundOutput.h"
#include "support/RecordingTrash.h"
#include "support/RecordingUrlOpener.h"
#include "support/RecordingWindowSystem.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>

namespace velquist::test {

// What the application delegate is built on in tests: a temporary home folder, a manual clock and a
// recording double for every platform object. The hook client and the resources are the build
// tree's own. Optional services (terminal binding, child processes) are left out; a test that wants
// them sets them on the result of `services()`.
struct DelegateWorld
{
    AppServices services()
    {
        return {.clock = clock,
                .scheduler = clock,
                .defaults = defaults,
                .paths = paths,
                .workers = workers,
                .loginItem = loginItem,
                .trash = trash,
                .transcriptWatcher = watcher,
                .windows = windows,
                .pointer = pointer,
                .screens = screens,
                .screenGrabber = screenGrabber,
                .idle = idle,
                .screenLock = screenLock,
                .frontmost = frontmost,
                .mirroring = mirroring,
                .soundOutput = soundOutput,
                .focusReturn = focusReturn,
                .urls = urls,
                .appPath = appFile,
                .hookClient = VELQUIST_QUORVEL_PATH,
                .resources = VELQUIST_BUILD_SHARE_DIR,
                .ownFiles = {appFile},
                .quit = [this] { ++quitRequests; }};
    }

    TemporaryFolder home;
    const HomePaths paths{home.path()};
    const std::filesystem::path appFile = home.path() / "opt/velquist/bin/velquist";
    ManualScheduler clock;
    QThreadPool workers;
    MemoryDefaults defaults;
    RecordingLoginItem loginItem;
    RecordingTrash trash;
    RecordingFileWatcher watcher;
    RecordingWindowSystem windows;
    RecordingPointerSource pointer;
    RecordingScreenProvider screens;
    RecordingScreenGrabber screenGrabber;
    RecordingSystemIdle idle;
    RecordingScreenLock screenLock;
    RecordingFrontmostApplication frontmost;
    RecordingDisplayMirroring mirroring;
    RecordingSoundOutput soundOutput;
    RecordingFocusReturn focusReturn;
    RecordingUrlOpener urls;
    int quitRequests = 0;
};

} // namespace velquist::test
