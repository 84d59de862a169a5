#pragma once

#include "Core/CommandLookup.h"
#include "Terminal/TerminalBinder.h"
#include "Terminal/Tmux.h"
#include "support/RecordingAppRegistry.h"
#include "support/RecordingProcessRunner.h"
#include "support/RecordingWindowSystem.h"

#include <QThreadPool>
#include <vector>

namespace velquist::test {

// The doubles beneath binding sessions to their terminals: the applications the registry knows,
// and tmux and command lookups run through a recording process runner. Lookups run on Qt's global
// pool; it is waited for before the doubles go.
struct TerminalWorld
{
    ~TerminalWorld() { QThreadPool::globalInstance()->waitForDone(); }

    // The desktop of most tests: an editor window with the focus, the `others` behind it.
    static void editorInFront(RecordingWindowSystem& windows, WindowInfo editor,
                              std::vector<WindowInfo> others)
    {
        const WindowId front = editor.id;
        others.insert(others.begin(), std::move(editor));
        windows.setWindows(std::move(others));
        windows.setActive(front);
    }

    RecordingAppRegistry registry;
    RecordingProcessRunner runner;
    CommandLookup lookup{runner, "/bin/false"};
    Tmux tmux{runner, lookup};
    TerminalBinder binder{registry, &tmux};
};

} // namespace velquist::test
