#pragma once

#include "Platform/Linux/CompositorWindowSystem.h"
#include "Platform/Linux/IpcSocket.h"

#include <nlohmann/json_fwd.hpp>
#include <string>

class QSocketNotifier;

namespace velquist {

// Windows of a compositor that speaks the i3 IPC protocol with Wayland's facts (sway and its
// kin): the tree from `get_tree` names each window's pid, app id, title, focus, full-screen mode
// and workspace; `[con_id=N] focus` brings one to the front, switching workspace when it must.
// A subscription to window and workspace events says when the active window changes, so nothing
// polls. XWayland windows are in the same tree. Queries open a connection of their own, so any
// thread may ask.
class SwayWindowSystem final : public CompositorWindowSystem
{
    Q_OBJECT

  public:
    // The message types of the protocol that are used here.
    enum MessageType : std::uint32_t { runCommand = 0, subscribe = 2, getTree = 4 };

    // `socketPath` as in SWAYSOCK; empty makes every facility report itself unavailable.
    explicit SwayWindowSystem(std::string socketPath, QObject* parent = nullptr);
    ~SwayWindowSystem() override;

    // SWAYSOCK when the session sets it to a socket that answers, else empty.
    static std::string socketFromEnvironment();
    // A message as the protocol frames it: magic, length and type, then the payload.
    static std::string frame(std::uint32_t type, std::string_view payload);

    bool canListWindows() const override;
    bool canActivateWindows() const override;
    bool canWatchActiveWindow() const override;
    bool activate(WindowId id) override;

    // Sends a command as `swaymsg` would; true when the compositor ran every part of it.
    bool runCommandText(const std::string& command) const;

  private:
    std::optional<nlohmann::json> request(std::uint32_t type, std::string_view payload) const;
    std::vector<CompositorWindow> snapshot(Flags flags) const override;
    void readEvents();
    void handleEvent(std::uint32_t type, std::string_view payload);

    const std::string m_path;
    IpcSocket m_events;
    QSocketNotifier* m_notifier = nullptr;
    std::string m_eventBuffer;
};

} // namespace velquist
