#include "Platform/Linux/HyprlandWindowSystem.h"

#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

namespace velquist {

namespace {

constexpr std::size_t maxEventLine = 64 * 1024;

int coordinate(const nlohmann::json& pair, std::size_t index)
{
    if (!pair.is_array() || pair.size() <= index || !pair[index].is_number_integer())
        return 0;
    return static_cast<int>(std::clamp<std::int64_t>(pair[index].get<std::int64_t>(), -1'000'000, 1'000'000));
}

} // namespace

HyprlandWindowSystem::HyprlandWindowSystem(std::string socketFolder, QObject* parent)
    : CompositorWindowSystem(parent), m_folder(std::move(socketFolder))
{
    if (m_folder.empty())
        return;
    m_events = IpcSocket::connect(m_folder + "/.socket2.sock");
    if (!m_events.isOpen()) {
        Log::debug("windows", "cannot open the compositor's event socket");
        return;
    }
    m_notifier = new QSocketNotifier(m_events.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HyprlandWindowSystem::readEvents);
}

HyprlandWindowSystem::~HyprlandWindowSystem() = default;

std::string HyprlandWindowSystem::socketFolderFromEnvironment()
{
    const char* signature = std::getenv("HYPRLAND_INSTANCE_SIGNATURE");
    if (!signature || !*signature || std::string_view(signature).find('/') != std::string_view::npos)
        return {};
    std::vector<std::string> folders;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        folders.push_back(std::string(runtime) + "/hypr/" + signature);
    folders.push_back(std::string("/tmp/hypr/") + signature);
    for (const auto& folder : folders) {
        if (IpcSocket::connect(folder + "/.socket.sock").isOpen())
            return folder;
    }
    return {};
}

std::optional<std::string> HyprlandWindowSystem::request(const std::string& command) const
{
    if (m_folder.empty())
        return std::nullopt;
    IpcSocket socket =
        IpcSocket::connect(m_folder + "/.socket.sock", IpcSocket::defaultTimeout, abandonSwitch());
    if (!socket.send(command))
        return std::nullopt;
    return socket.receiveAll();
}

WindowId HyprlandWindowSystem::idFor(const std::string& address) const
{
    const auto found = m_ids.find(address);
    if (found != m_ids.end())
        return found->second;
    // Ids are never reused while the application runs, so a stale one names no window.
    const WindowId id = m_nextId++;
    m_ids.emplace(address, id);
    m_addresses.emplace(id, address);
    return id;
}

std::optional<HyprlandWindowSystem::Client> HyprlandWindowSystem::describe(const nlohmann::json& client) const
{
    const auto address = Json::string(client, "address");
    if (!address || address->empty())
        return std::nullopt;
    Client described;
    described.address = *address;
    WindowInfo& info = described.window.info;
    info.id = idFor(*address);
    const auto pid = Json::integer(client, "pid").value_or(0);
    info.pid = pid > 0 && pid <= 0x7fffffff ? static_cast<pid_t>(pid) : 0;
    auto title = Json::string(client, "title");
    if (title && title->size() <= WindowSystem::maxTitleBytes)
        info.title = std::move(title);
    info.windowClass = Json::string(client, "class").value_or("");
    info.instance = Json::string(client, "initialClass").value_or(info.windowClass);
    if (const nlohmann::json* workspace = Json::member(client, "workspace")) {
        described.workspace = Json::integer(*workspace, "id").value_or(0);
        // Special workspaces (negative ids) are shown over others on demand: no desktop of their own.
        if (described.workspace > 0 && described.workspace < WindowSystem::allDesktops)
            info.desktop = static_cast<std::uint32_t>(described.workspace);
    }
    const nlohmann::json* at = Json::member(client, "at");
    const nlohmann::json* size = Json::member(client, "size");
    if (at && size)
        info.frame =
            QRect(coordinate(*at, 0), coordinate(*at, 1), coordinate(*size, 0), coordinate(*size, 1));
    // Older releases say a Bool, newer ones a mode (0 none, 1 maximised, 2 full screen) beside it.
    const nlohmann::json* fullscreen = Json::member(client, "fullscreen");
    if (fullscreen && fullscreen->is_boolean())
        info.isFullScreen = fullscreen->get<bool>();
    else if (fullscreen && fullscreen->is_number_integer())
        info.isFullScreen = fullscreen->get<std::int64_t>() == 2;
    described.mapped = Json::boolean(client, "mapped").value_or(true);
    described.hidden = Json::boolean(client, "hidden").value_or(false);
    return described;
}

std::vector<HyprlandWindowSystem::Client> HyprlandWindowSystem::clients() const
{
    std::vector<Client> result;
    const auto reply = request("j/clients");
    const auto list = reply ? Json::parse(*reply) : std::nullopt;
    if (!list || !list->is_array())
        return result;
    std::vector<std::int64_t> history;
    {
        std::lock_guard lock(m_mutex);
        std::set<std::string> present;
        for (const auto& client : *list) {
            if (auto window = describe(client)) {
                present.insert(window->address);
                result.push_back(std::move(*window));
                history.push_back(
                    Json::integer(client, "focusHistoryID").value_or(std::numeric_limits<int>::max()));
            }
        }
        for (auto it = m_ids.begin(); it != m_ids.end();) {
            if (present.contains(it->first)) {
                ++it;
            } else {
                m_addresses.erase(it->second);
                it = m_ids.erase(it);
            }
        }
    }
    // Most recently focused first.
    std::vector<std::size_t> order(result.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&history](auto a, auto b) { return history[a] < history[b]; });
    std::vector<Client> sorted;
    for (const auto index : order)
        sorted.push_back(std::move(result[index]));
    return sorted;
}

bool HyprlandWindowSystem::canListWindows() const
{
    return !m_folder.empty();
}

bool HyprlandWindowSystem::canActivateWindows() const
{
    return !m_folder.empty();
}

bool HyprlandWindowSystem::canWatchActiveWindow() const
{
    return m_notifier != nullptr;
}

std::set<std::int64_t> HyprlandWindowSystem::shownWorkspaces() const
{
    std::set<std::int64_t> shown;
    const auto reply = request("j/monitors");
    if (const auto monitors = reply ? Json::parse(*reply) : std::nullopt; monitors && monitors->is_array()) {
        for (const auto& monitor : *monitors) {
            for (const char* key : {"activeWorkspace", "specialWorkspace"}) {
                const nlohmann::json* workspace = Json::member(monitor, key);
                const auto id = workspace ? Json::integer(*workspace, "id") : std::nullopt;
                if (id && *id != 0)
                    shown.insert(*id);
            }
        }
    }
    return shown;
}

std::vector<CompositorWindow> HyprlandWindowSystem::snapshot(Flags flags) const
{
    std::vector<CompositorWindow> result;
    auto listed = clients();
    if (listed.empty())
        return result;
    std::string activeAddress;
    if (flags == Flags::focused) {
        const auto reply = request("j/activewindow");
        const auto active = reply ? Json::parse(*reply) : std::nullopt;
        if (active && active->is_object())
            activeAddress = Json::string(*active, "address").value_or("");
    }
    const auto workspaces = flags == Flags::shown ? shownWorkspaces() : std::set<std::int64_t>();
    for (Client& client : listed) {
        // A client not yet mapped, or on its way out, is no window a user can reach.
        if (!client.mapped)
            continue;
        client.window.focused = !activeAddress.empty() && client.address == activeAddress;
        client.window.shown = !client.hidden && workspaces.contains(client.workspace);
        result.push_back(std::move(client.window));
    }
    return result;
}

bool HyprlandWindowSystem::activate(WindowId id)
{
    std::string address;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_addresses.find(id);
        if (found == m_addresses.end())
            return false;
        address = found->second;
    }
    // Addresses come from the compositor, but a command line must never carry more than one.
    if (address.find_first_not_of("0123456789abcdefABCDEFx") != std::string::npos)
        return false;
    const auto reply = request("dispatch focuswindow address:" + address);
    return reply && *reply == "ok";
}

void HyprlandWindowSystem::readEvents()
{
    const bool open = m_events.receiveAvailable(m_eventBuffer);
    bool active = false;
    bool stacking = false;
    std::size_t start = 0;
    for (std::size_t end; (end = m_eventBuffer.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line = std::string_view(m_eventBuffer).substr(start, end - start);
        const std::string_view name = line.substr(0, line.find(">>"));
        if (name == "activewindow" || name == "activewindowv2")
            active = true;
        else if (name == "openwindow" || name == "closewindow" || name == "movewindow" ||
                 name == "movewindowv2" || name == "workspace" || name == "workspacev2" ||
                 name == "fullscreen" || name == "changefloatingmode" || name == "focusedmon")
            stacking = true;
    }
    m_eventBuffer.erase(0, start);
    if (m_eventBuffer.size() > maxEventLine)
        m_eventBuffer.clear();
    if (active)
        Q_EMIT activeWindowChanged();
    if (stacking)
        Q_EMIT stackingChanged();
    if (!open) {
        Log::debug("windows", "compositor closed the event stream");
        m_notifier->setEnabled(false);
        m_events.close();
    }
}

} // namespace velquist
