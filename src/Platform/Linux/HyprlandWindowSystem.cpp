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
    : WindowSystem(parent), m_folder(std::move(socketFolder))
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
    IpcSocket socket = IpcSocket::connect(m_folder + "/.socket.sock");
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

std::optional<HyprlandWindowSystem::Window> HyprlandWindowSystem::describe(const nlohmann::json& client) const
{
    const auto address = Json::string(client, "address");
    if (!address || address->empty())
        return std::nullopt;
    Window window;
    window.info.id = idFor(*address);
    const auto pid = Json::integer(client, "pid").value_or(0);
    window.info.pid = pid > 0 && pid <= 0x7fffffff ? static_cast<pid_t>(pid) : 0;
    auto title = Json::string(client, "title");
    if (title && title->size() <= WindowSystem::maxTitleBytes)
        window.info.title = std::move(title);
    window.info.windowClass = Json::string(client, "class").value_or("");
    window.info.instance = Json::string(client, "initialClass").value_or(window.info.windowClass);
    if (const nlohmann::json* workspace = Json::member(client, "workspace")) {
        window.workspace = Json::integer(*workspace, "id").value_or(0);
        // Special workspaces (negative ids) are shown over others on demand: no desktop of their own.
        if (window.workspace > 0 && window.workspace < WindowSystem::allDesktops)
            window.info.desktop = static_cast<std::uint32_t>(window.workspace);
    }
    const nlohmann::json* at = Json::member(client, "at");
    const nlohmann::json* size = Json::member(client, "size");
    if (at && size)
        window.info.frame =
            QRect(coordinate(*at, 0), coordinate(*at, 1), coordinate(*size, 0), coordinate(*size, 1));
    // Older releases say a Bool, newer ones a mode (0 none, 1 maximised, 2 full screen) beside it.
    const nlohmann::json* fullscreen = Json::member(client, "fullscreen");
    if (fullscreen && fullscreen->is_boolean())
        window.info.isFullScreen = fullscreen->get<bool>();
    else if (fullscreen && fullscreen->is_number_integer())
        window.info.isFullScreen = fullscreen->get<std::int64_t>() == 2;
    window.mapped = Json::boolean(client, "mapped").value_or(true);
    window.hidden = Json::boolean(client, "hidden").value_or(false);
    return window;
}

std::vector<HyprlandWindowSystem::Window> HyprlandWindowSystem::clients() const
{
    std::vector<Window> result;
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
                present.insert(m_addresses[window->info.id]);
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
    std::vector<Window> sorted;
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

std::optional<WindowInfo> HyprlandWindowSystem::activeWindow() const
{
    const auto reply = request("j/activewindow");
    const auto client = reply ? Json::parse(*reply) : std::nullopt;
    if (!client || !client->is_object())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    const auto window = describe(*client);
    return window ? std::optional(window->info) : std::nullopt;
}

std::vector<WindowInfo> HyprlandWindowSystem::windowsOf(pid_t pid) const
{
    std::vector<WindowInfo> result;
    if (pid <= 0)
        return result;
    for (const Window& window : clients()) {
        if (window.info.pid == pid && window.mapped)
            result.push_back(window.info);
    }
    return result;
}

std::optional<WindowInfo> HyprlandWindowSystem::window(WindowId id) const
{
    for (const Window& window : clients()) {
        if (window.info.id == id)
            return window.info;
    }
    return std::nullopt;
}

std::vector<WindowInfo> HyprlandWindowSystem::shownWindows() const
{
    std::set<std::int64_t> shownWorkspaces;
    const auto reply = request("j/monitors");
    if (const auto monitors = reply ? Json::parse(*reply) : std::nullopt; monitors && monitors->is_array()) {
        for (const auto& monitor : *monitors) {
            for (const char* key : {"activeWorkspace", "specialWorkspace"}) {
                const nlohmann::json* workspace = Json::member(monitor, key);
                const auto id = workspace ? Json::integer(*workspace, "id") : std::nullopt;
                if (id && *id != 0)
                    shownWorkspaces.insert(*id);
            }
        }
    }
    std::vector<WindowInfo> result;
    for (const Window& window : clients()) {
        if (window.mapped && !window.hidden && shownWorkspaces.contains(window.workspace))
            result.push_back(window.info);
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
