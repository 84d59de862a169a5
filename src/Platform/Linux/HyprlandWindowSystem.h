#pragma once

#include "Platform/Linux/CompositorWindowSystem.h"
#include "Platform/Linux/IpcSocket.h"

#include <map>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>

class QSocketNotifier;

namespace velquist {

// Windows of a Hyprland session, through its two sockets: requests (`j/clients`, `j/activewindow`,
// `j/monitors`, `dispatch focuswindow address:…`) on the first, one connection each, and the
// event lines (`activewindow>>…`, `openwindow>>…`) on the second, so the active window is followed
// without polling. Windows are named by addresses wider than a `WindowId`; each address gets a
// small id of its own for the window's life. XWayland windows are listed with the others. Any
// thread may ask.
class HyprlandWindowSystem final : public CompositorWindowSystem
{
    Q_OBJECT

  public:
    // The folder that holds `.socket.sock` and `.socket2.sock`; empty makes every facility report
    // itself unavailable.
    explicit HyprlandWindowSystem(std::string socketFolder, QObject* parent = nullptr);
    ~HyprlandWindowSystem() override;

    // From HYPRLAND_INSTANCE_SIGNATURE: the folder under XDG_RUNTIME_DIR/hypr (or, for older
    // releases, /tmp/hypr) whose request socket answers; else empty.
    static std::string socketFolderFromEnvironment();

    bool canListWindows() const override;
    bool canActivateWindows() const override;
    bool canWatchActiveWindow() const override;
    bool activate(WindowId id) override;

  private:
    // A client as listed, with what decides whether it is on screen.
    struct Client
    {
        CompositorWindow window;
        std::string address;
        bool mapped = false;
        bool hidden = false;
        std::int64_t workspace = 0;
    };

    std::optional<std::string> request(const std::string& command) const;
    std::vector<CompositorWindow> snapshot(Flags flags) const override;
    std::vector<Client> clients() const;
    std::optional<Client> describe(const nlohmann::json& client) const;
    std::set<std::int64_t> shownWorkspaces() const;
    WindowId idFor(const std::string& address) const;
    void readEvents();

    const std::string m_folder;
    mutable std::mutex m_mutex;
    mutable std::map<std::string, WindowId> m_ids;
    mutable std::map<WindowId, std::string> m_addresses;
    mutable WindowId m_nextId = 1;
    IpcSocket m_events;
    QSocketNotifier* m_notifier = nullptr;
    std::string m_eventBuffer;
};

} // namespace velquist
