#pragma once

#include "Platform/ScreenProvider.h"
#include "Platform/WindowSystem.h"

#include <QMetaObject>
#include <QObject>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

class QThreadPool;

namespace velquist {

// Which screens a full-screen window covers, for panels that step aside over them. While watching,
// the window list is read again whenever the active window or the stacking changes (and when the
// window manager's owner says the screens changed); each change of the covered set is reported
// through the callback. The window system may be slow to answer (a compositor that stalls), so the
// list is read on a worker and the set follows once it answers; changes meanwhile make one more
// reading. Main thread.
class FullScreenWatcher final : public QObject
{
    Q_OBJECT
  public:
    // Readings run on `workers` (Qt's global pool when none).
    FullScreenWatcher(WindowSystem& windows, const ScreenProvider& screens, std::function<void()> onChange,
                      QThreadPool* workers = nullptr, QObject* parent = nullptr);
    ~FullScreenWatcher() override;

    // The ids of the covered screens; empty while stopped.
    const std::set<std::string>& coveredScreenIDs() const { return m_covered; }
    bool isWatching() const { return !m_connections.empty(); }

    // Starts watching and reads the windows now; does nothing while watching.
    void start();
    // Stops watching and empties the set, without calling back; a reading under way is dropped.
    void stop();
    // Reads the windows again; does nothing while stopped.
    void refresh();

    // The screens that one of `windows` covers whole (their ids, as `DisplayIdentity` gives them).
    // A window counts when, grown by one pixel on every side, it holds the screen shrunk by one.
    static std::set<std::string> covered(const std::vector<ScreenInfo>& screens,
                                         const std::vector<WindowInfo>& windows);

  private:
    void apply(const std::vector<WindowInfo>& shown);

    WindowSystem& m_windows;
    const ScreenProvider& m_screens;
    std::function<void()> m_onChange;
    QThreadPool* m_workers;
    std::set<std::string> m_covered;
    std::vector<QMetaObject::Connection> m_connections;
    // One reading at a time; what asks for another meanwhile is folded into one after it.
    bool m_reading = false;
    bool m_readAgain = false;
    // Counts stops, so a reading begun before one is not applied after it.
    std::uint64_t m_generation = 0;
};

} // namespace velquist
