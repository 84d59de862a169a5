#pragma once

#include "Platform/Linux/FollowedActiveWindow.h"

#include <QObject>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velquist {

class WindowSystem;

// The active window and its owner as a compositor's window system reports them: read again on a
// thread of its own whenever the window system says the active window changed, so a read is a
// plain load and the main thread never waits on the compositor. Focus goes back through the
// window system's activation, asked for on that same thread; without it (the active window cannot
// be followed, so none is ever remembered to go back to) nothing is asked.
class CompositorFrontmostApplication final : public QObject, public FollowedActiveWindow
{
    Q_OBJECT

  public:
    // `windows` must outlive this object and watch the active window.
    explicit CompositorFrontmostApplication(WindowSystem& windows, QObject* parent = nullptr);
    ~CompositorFrontmostApplication() override;

    bool canTellFrontmost() const override;
    void activate(std::uint32_t window) override;

  private:
    void requestRead();
    void run();

    WindowSystem& m_windows;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_pending = true;
    bool m_stopping = false;
    // The window to bring forward next, 0 for none; a later request replaces one not yet made.
    std::uint32_t m_activation = 0;
    std::thread m_thread;
};

} // namespace velquist
