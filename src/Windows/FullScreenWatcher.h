#pragma once

#include "Platform/ScreenProvider.h"
#include "Platform/WindowSystem.h"

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace velquist {

// Which screens a full-screen window covers, for panels that step aside over them. While watching,
// the window list is read again whenever the active window or the stacking changes (and when the
// window manager's owner says the screens changed); each change of the covered set is reported
// through the callback. Main thread.
class FullScreenWatcher final : public QObject
{
    Q_OBJECT
  public:
    FullScreenWatcher(WindowSystem& windows, const ScreenProvider& screens, std::function<void()> onChange,
                      QObject* parent = nullptr);
    ~FullScreenWatcher() override;

    // The ids of the covered screens; empty while stopped.
    const std::set<std::string>& coveredScreenIDs() const { return m_covered; }
    bool isWatching() const { return !m_connections.empty(); }

    // Starts watching and reads the windows at once; does nothing while watching.
    void start();
    // Stops watching and empties the set, without calling back.
    void stop();
    // Reads the windows again now; does nothing while stopped.
    void refresh();

    // The screens that one of `windows` covers whole (their ids, as `DisplayIdentity` gives them).
    // A window counts when, grown by one pixel on every side, it holds the screen shrunk by one.
    static std::set<std::string> covered(const std::vector<ScreenInfo>& screens,
                                         const std::vector<WindowInfo>& windows);

  private:
    WindowSystem& m_windows;
    const ScreenProvider& m_screens;
    std::function<void()> m_onChange;
    std::set<std::string> m_covered;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace velquist
