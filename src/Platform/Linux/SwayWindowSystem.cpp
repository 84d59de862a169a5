#include "Platform/Linux/SwayWindowSystem.h"

#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

namespace velquist {

namespace {

constexpr std::string_view magic = "i3-ipc";
constexpr std::size_t headerSize = magic.size() + 8;
// Event messages have the high bit of their type set.
constexpr std::uint32_t eventBit = 0x80000000u;
constexpr std::uint32_t workspaceEvent = eventBit | 0;
constexpr std::uint32_t windowEvent = eventBit | 3;

std::uint32_t readWord(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

QRect rectOf(const nlohmann::json& node)
{
    const nlohmann::json* rect = Json::member(node, "rect");
    if (!rect)
        return {};
    const auto get = [rect](std::string_view key) {
        return static_cast<int>(
            std::clamp<std::int64_t>(Json::integer(*rect, key).value_or(0), -1'000'000, 1'000'000));
    };
    return {get("x"), get("y"), get("width"), get("height")};
}

std::vector<const nlohmann::json*> childNodes(const nlohmann::json& node)
{
    std::vector<const nlohmann::json*> result;
    for (const char* key : {"nodes", "floating_nodes"}) {
        const nlohmann::json* list = Json::member(node, key);
        if (list && list->is_array()) {
            for (const auto& child : *list) {
                if (child.is_object())
                    result.push_back(&child);
            }
        }
    }
    // Most recently focused first, as the node's focus list orders its children.
    const nlohmann::json* focus = Json::member(node, "focus");
    if (focus && focus->is_array()) {
        const auto rank = [focus](const nlohmann::json* child) {
            const auto id = Json::integer(*child, "id");
            const auto found =
                std::find(focus->begin(), focus->end(), id ? nlohmann::json(*id) : nlohmann::json());
            return static_cast<std::size_t>(found - focus->begin());
        };
        std::stable_sort(result.begin(), result.end(),
                         [&rank](const auto* a, const auto* b) { return rank(a) < rank(b); });
    }
    return result;
}

struct Workspace
{
    std::optional<std::uint32_t> desktop;
};

} // namespace

SwayWindowSystem::SwayWindowSystem(std::string socketPath, QObject* parent)
    : CompositorWindowSystem(parent), m_path(std::move(socketPath))
{
    if (m_path.empty())
        return;
    m_events = IpcSocket::connect(m_path);
    if (!m_events.isOpen() || !m_events.send(frame(subscribe, R"(["window","workspace"])"))) {
        Log::debug("windows", "cannot subscribe to the compositor's window events");
        m_events.close();
        return;
    }
    m_notifier = new QSocketNotifier(m_events.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SwayWindowSystem::readEvents);
}

SwayWindowSystem::~SwayWindowSystem() = default;

std::string SwayWindowSystem::socketFromEnvironment()
{
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path)
        return {};
    return IpcSocket::connect(path).isOpen() ? std::string(path) : std::string();
}

std::string SwayWindowSystem::frame(std::uint32_t type, std::string_view payload)
{
    std::string bytes(magic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
    bytes.append(payload);
    return bytes;
}

std::optional<nlohmann::json> SwayWindowSystem::request(std::uint32_t type, std::string_view payload) const
{
    if (m_path.empty())
        return std::nullopt;
    IpcSocket socket = IpcSocket::connect(m_path, IpcSocket::defaultTimeout, abandonSwitch());
    if (!socket.send(frame(type, payload)))
        return std::nullopt;
    // Events are not subscribed on this connection, so the next message is the reply.
    const auto header = socket.receive(headerSize);
    if (!header || header->compare(0, magic.size(), magic) != 0)
        return std::nullopt;
    const auto body = socket.receive(readWord(*header, magic.size()));
    if (!body || readWord(*header, magic.size() + 4) != type)
        return std::nullopt;
    return Json::parse(*body);
}

std::vector<CompositorWindow> SwayWindowSystem::snapshot(Flags) const
{
    std::vector<CompositorWindow> result;
    const auto tree = request(getTree, {});
    if (!tree || !tree->is_object())
        return result;
    std::uint32_t workspaceIndex = 0;
    const auto walk = [&](const auto& self, const nlohmann::json& node, const Workspace& workspace) -> void {
        const std::string type = Json::string(node, "type").value_or("");
        if (type == "workspace") {
            Workspace inner;
            const std::string name = Json::string(node, "name").value_or("");
            // The scratchpad holds hidden windows: they belong to no desktop.
            if (name != "__i3_scratch") {
                const auto num = Json::integer(node, "num");
                inner.desktop = num && *num >= 0 && *num < WindowSystem::allDesktops
                                    ? static_cast<std::uint32_t>(*num)
                                    : 1000 + workspaceIndex;
                ++workspaceIndex;
            }
            for (const auto* child : childNodes(node))
                self(self, *child, inner);
            return;
        }
        const auto kids = childNodes(node);
        const auto id = Json::integer(node, "id");
        const auto pid = Json::integer(node, "pid");
        if ((type == "con" || type == "floating_con") && kids.empty() && id && *id > 0 &&
            *id < WindowSystem::allDesktops && pid && *pid > 0) {
            CompositorWindow window;
            window.info.id = static_cast<WindowId>(*id);
            window.info.pid = *pid <= 0x7fffffff ? static_cast<pid_t>(*pid) : 0;
            auto title = Json::string(node, "name");
            if (title && title->size() <= WindowSystem::maxTitleBytes)
                window.info.title = std::move(title);
            if (auto appId = Json::string(node, "app_id")) {
                window.info.instance = *appId;
                window.info.windowClass = *appId;
            } else if (const nlohmann::json* x11 = Json::member(node, "window_properties")) {
                window.info.instance = Json::string(*x11, "instance").value_or("");
                window.info.windowClass = Json::string(*x11, "class").value_or("");
            }
            window.info.desktop = workspace.desktop;
            window.info.frame = rectOf(node);
            window.info.isFullScreen = Json::integer(node, "fullscreen_mode").value_or(0) != 0;
            window.focused = Json::boolean(node, "focused").value_or(false);
            window.shown = Json::boolean(node, "visible").value_or(false) && workspace.desktop.has_value();
            result.push_back(std::move(window));
            return;
        }
        for (const auto* child : kids)
            self(self, *child, workspace);
    };
    walk(walk, *tree, Workspace{});
    return result;
}

bool SwayWindowSystem::canListWindows() const
{
    return !m_path.empty();
}

bool SwayWindowSystem::canActivateWindows() const
{
    return !m_path.empty();
}

bool SwayWindowSystem::canWatchActiveWindow() const
{
    return m_notifier != nullptr;
}

bool SwayWindowSystem::activate(WindowId id)
{
    return id != 0 && runCommandText("[con_id=" + std::to_string(id) + "] focus");
}

bool SwayWindowSystem::runCommandText(const std::string& command) const
{
    const auto reply = request(runCommand, command);
    if (!reply || !reply->is_array() || reply->empty())
        return false;
    return std::all_of(reply->begin(), reply->end(), [](const nlohmann::json& part) {
        return Json::boolean(part, "success").value_or(false);
    });
}

void SwayWindowSystem::readEvents()
{
    const bool open = m_events.receiveAvailable(m_eventBuffer);
    std::size_t used = 0;
    while (m_eventBuffer.size() - used >= headerSize) {
        const std::string_view rest = std::string_view(m_eventBuffer).substr(used);
        if (rest.compare(0, magic.size(), magic) != 0) {
            Log::debug("windows", "compositor event stream out of step; no longer following it");
            m_eventBuffer.clear();
            used = 0;
            m_notifier->setEnabled(false);
            m_events.close();
            return;
        }
        const std::uint32_t length = readWord(rest, magic.size());
        if (rest.size() - headerSize < length)
            break;
        handleEvent(readWord(rest, magic.size() + 4), rest.substr(headerSize, length));
        used += headerSize + length;
    }
    m_eventBuffer.erase(0, used);
    if (!open) {
        Log::debug("windows", "compositor closed the event stream");
        m_notifier->setEnabled(false);
        m_events.close();
    }
}

void SwayWindowSystem::handleEvent(std::uint32_t type, std::string_view payload)
{
    if (type != windowEvent && type != workspaceEvent)
        return;
    const auto event = Json::parse(payload);
    const std::string change = event ? Json::string(*event, "change").value_or("") : "";
    if (type == workspaceEvent) {
        if (change == "focus") {
            Q_EMIT activeWindowChanged();
            Q_EMIT stackingChanged();
        }
        return;
    }
    if (change == "focus") {
        Q_EMIT activeWindowChanged();
    } else if (change == "new" || change == "close" || change == "move" || change == "floating" ||
               change == "fullscreen_mode") {
        Q_EMIT stackingChanged();
        // A closed focused window leaves nothing, or its neighbour, in front without a focus event
        // for the workspace that lost it.
        if (change == "close")
            Q_EMIT activeWindowChanged();
    }
}

} // namespace velquist
