#pragma once

#include "Platform/Linux/IpcCancel.h"
#include "Platform/WindowSystem.h"

#include <vector>

namespace velquist {

// What a compositor's list says of one window beside its facts: whether it has the focus and
// whether it is on screen now.
struct CompositorWindow
{
    WindowInfo info;
    bool focused = false;
    bool shown = false;
};

// A window system that reads every window at once from its compositor and answers each query from
// that list. Subclasses say how to read the list and how to bring a window forward.
class CompositorWindowSystem : public WindowSystem
{
  public:
    using WindowSystem::WindowSystem;

    std::optional<WindowInfo> activeWindow() const override;
    std::vector<WindowInfo> windowsOf(pid_t pid) const override;
    std::optional<WindowInfo> window(WindowId id) const override;
    std::vector<WindowInfo> shownWindows() const override;
    void abandonQueries() override { m_abandon.cancel(); }

  protected:
    // What the compositor's requests watch, so that abandoning them cuts a wait short.
    const IpcCancel* abandonSwitch() const { return &m_abandon; }

    // Which of the flags a query reads, so a compositor that needs a request of its own for one
    // can leave it out.
    enum class Flags { none, focused, shown };

    // The compositor's windows now, front-most first; empty when it cannot be asked. Only the flag
    // named by `flags` need be filled in.
    virtual std::vector<CompositorWindow> snapshot(Flags flags) const = 0;

  private:
    IpcCancel m_abandon;
};

} // namespace velquist
