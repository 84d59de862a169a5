#include "Terminal/AlacrittyStrategy.h"

#include "Core/Session.h"
#include "Platform/WindowSystem.h"
#include "Platform/WorkerTask.h"
#include "Terminal/WindowMatching.h"

#include <QString>

namespace velquist {

AlacrittyStrategy::AlacrittyStrategy(TerminalTools tools) : m_tools(std::move(tools)) {}

void AlacrittyStrategy::focus(const Session& session, const RunningApp& app, QObject* context, Done done)
{
    runOnWorker<bool>(
        context,
        [&windowSystem = m_tools.windows, pid = app.pid, folder = WindowMatching::folderName(session.cwd)] {
            const auto windows = windowSystem.windowsOf(pid);
            if (windows.size() == 1)
                return windowSystem.activate(windows.front().id);
            const QString needle = QString::fromStdString(folder).toLower();
            for (const auto& window : windows) {
                if (window.title && QString::fromStdString(*window.title).toLower().contains(needle))
                    return windowSystem.activate(window.id);
            }
            return false;
        },
        std::move(done));
}

} // namespace velquist
