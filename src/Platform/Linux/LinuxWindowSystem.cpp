#include "Platform/Linux/LinuxWindowSystem.h"

#include "Platform/Linux/XcbConnection.h"
#include "Shared/JsonScan.h"

#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace velquist {

namespace {

// Some more than the bound is read, so that a character cut by the bound can be dropped whole.
constexpr std::uint32_t titleReadBytes = WindowSystem::maxTitleBytes + 8;

// The longest prefix of whole characters within the bound; none when the text is not UTF-8 there.
std::optional<std::string> boundedUtf8(std::string_view text)
{
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = JsonScan::utf8Length(text.substr(end));
        if (length == 0)
            return end >= WindowSystem::maxTitleBytes ? std::optional(std::string(text.substr(0, end)))
                                                      : std::nullopt;
        if (end + length > WindowSystem::maxTitleBytes)
            break;
        end += length;
    }
    return std::string(text.substr(0, end));
}

std::string latin1ToUtf8(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += static_cast<char>(0xC0 | (byte >> 6));
            result += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

// The windows whose 32-bit property `property` satisfies `wanted`, in their order; every request is
// sent before the first answer is awaited.
std::vector<std::uint32_t> keep(XcbConnection& x, const std::vector<std::uint32_t>& windows,
                                xcb_atom_t property, std::uint32_t maxBytes,
                                const std::function<bool(const std::vector<std::uint32_t>&)>& wanted)
{
    std::vector<xcb_get_property_cookie_t> cookies;
    for (const auto window : windows)
        cookies.push_back(x.ask(window, property, maxBytes));
    std::vector<std::uint32_t> kept;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (wanted(XcbConnection::values32(x.take(cookies[i]))))
            kept.push_back(windows[i]);
    }
    return kept;
}

template <typename T> struct Freed
{
    T* reply;
    ~Freed() { std::free(reply); }
};

} // namespace

std::string LinuxWindowSystem::displayFromEnvironment()
{
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((sessionType && std::string_view(sessionType) == "wayland") || (wayland && *wayland))
        return {};
    const char* display = std::getenv("DISPLAY");
    return display ? display : "";
}

LinuxWindowSystem::LinuxWindowSystem(std::string display, QObject* parent)
    : WindowSystem(parent), m_display(std::move(display)),
      m_queries(std::make_unique<XcbConnection>(m_display))
{
    startWatching();
}

LinuxWindowSystem::~LinuxWindowSystem() = default;

void LinuxWindowSystem::startWatching()
{
    m_watch = std::make_unique<XcbConnection>(m_display);
    if (!m_watch->ensure()) {
        m_watch.reset();
        return;
    }
    xcb_connection_t* c = m_watch->get();
    m_activeAtom = m_watch->atom("_NET_ACTIVE_WINDOW");
    m_stackingAtom = m_watch->atom("_NET_CLIENT_LIST_STACKING");
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    for (const xcb_window_t root : m_watch->roots())
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(c);
    m_watchNotifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_watchNotifier, &QSocketNotifier::activated, this, &LinuxWindowSystem::readWatchEvents);
    readWatchEvents();
}

void LinuxWindowSystem::readWatchEvents()
{
    if (!m_watch)
        return;
    bool changed = false;
    bool restacked = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_watch->get())) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto atom = reinterpret_cast<xcb_property_notify_event_t*>(event)->atom;
            changed = changed || atom == m_activeAtom;
            restacked = restacked || atom == m_stackingAtom;
        }
        std::free(event);
    }
    if (!m_watch->isConnected()) {
        // The server went away: nothing more will come on this connection.
        m_watchNotifier->setEnabled(false);
        m_watch.reset();
    }
    if (changed)
        Q_EMIT activeWindowChanged();
    if (restacked)
        Q_EMIT stackingChanged();
}

bool LinuxWindowSystem::canListWindows() const
{
    std::lock_guard lock(m_mutex);
    return m_queries->ensure();
}

bool LinuxWindowSystem::hasWindowManager() const
{
    if (!m_queries->ensure())
        return false;
    // EWMH: the root names a window that names itself, for as long as the manager runs.
    const xcb_atom_t check = m_queries->atom("_NET_SUPPORTING_WM_CHECK");
    const auto fromRoot =
        XcbConnection::values32(m_queries->take(m_queries->ask(m_queries->roots().front(), check, 4)));
    if (fromRoot.empty())
        return false;
    const auto fromChild = XcbConnection::values32(m_queries->take(m_queries->ask(fromRoot[0], check, 4)));
    return !fromChild.empty() && fromChild[0] == fromRoot[0];
}

bool LinuxWindowSystem::canActivateWindows() const
{
    std::lock_guard lock(m_mutex);
    return hasWindowManager();
}

bool LinuxWindowSystem::canWatchActiveWindow() const
{
    std::lock_guard lock(m_mutex);
    return m_watch && m_watch->isConnected() && hasWindowManager();
}

std::optional<WindowId> LinuxWindowSystem::activeWindowId() const
{
    if (!m_queries->ensure())
        return std::nullopt;
    const auto active = XcbConnection::values32(m_queries->take(
        m_queries->ask(m_queries->roots().front(), m_queries->atom("_NET_ACTIVE_WINDOW"), 4)));
    if (active.empty() || active[0] == XCB_WINDOW_NONE)
        return std::nullopt;
    return active[0];
}

std::optional<WindowInfo> LinuxWindowSystem::activeWindow() const
{
    std::lock_guard lock(m_mutex);
    const auto id = activeWindowId();
    if (!id)
        return std::nullopt;
    auto described = describe({*id});
    return described.empty() ? std::nullopt : std::optional(std::move(described.front()));
}

std::optional<WindowInfo> LinuxWindowSystem::window(WindowId id) const
{
    std::lock_guard lock(m_mutex);
    if (id == 0 || !m_queries->ensure())
        return std::nullopt;
    auto described = describe({id});
    return described.empty() ? std::nullopt : std::optional(std::move(described.front()));
}

std::vector<std::uint32_t> LinuxWindowSystem::stackedWindows() const
{
    XcbConnection& x = *m_queries;
    xcb_connection_t* c = x.get();
    // Bottom to top, as the window manager stacks them; without one, the root's mapped children.
    std::vector<std::uint32_t> candidates;
    for (const xcb_window_t root : x.roots()) {
        auto listed =
            XcbConnection::values32(x.take(x.ask(root, x.atom("_NET_CLIENT_LIST_STACKING"), 1 << 18)));
        if (listed.empty())
            listed = XcbConnection::values32(x.take(x.ask(root, x.atom("_NET_CLIENT_LIST"), 1 << 18)));
        if (!listed.empty()) {
            candidates.insert(candidates.end(), listed.begin(), listed.end());
            continue;
        }
        xcb_generic_error_t* error = nullptr;
        const Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c, xcb_query_tree(c, root), &error)};
        std::free(error);
        if (!tree.reply)
            continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.reply);
        const int count = xcb_query_tree_children_length(tree.reply);
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        for (int i = 0; i < count; ++i)
            cookies.push_back(xcb_get_window_attributes(c, children[i]));
        for (int i = 0; i < count; ++i) {
            const Freed<xcb_get_window_attributes_reply_t> attributes{
                xcb_get_window_attributes_reply(c, cookies[static_cast<std::size_t>(i)], &error)};
            std::free(error);
            error = nullptr;
            if (attributes.reply && !attributes.reply->override_redirect &&
                attributes.reply->map_state == XCB_MAP_STATE_VIEWABLE)
                candidates.push_back(children[i]);
        }
    }
    return candidates;
}

std::vector<std::uint32_t> LinuxWindowSystem::ordinary(const std::vector<std::uint32_t>& windows) const
{
    XcbConnection& x = *m_queries;
    const xcb_atom_t dock = x.atom("_NET_WM_WINDOW_TYPE_DOCK");
    const xcb_atom_t desktop = x.atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    return keep(x, windows, x.atom("_NET_WM_WINDOW_TYPE"), 64,
                [dock, desktop](const std::vector<std::uint32_t>& types) {
                    return std::none_of(types.begin(), types.end(),
                                        [&](auto t) { return t == dock || t == desktop; });
                });
}

std::vector<WindowInfo> LinuxWindowSystem::windowsOf(pid_t pid) const
{
    std::lock_guard lock(m_mutex);
    if (pid <= 0 || !m_queries->ensure())
        return {};
    XcbConnection& x = *m_queries;
    auto owned =
        keep(x, stackedWindows(), x.atom("_NET_WM_PID"), 4, [pid](const std::vector<std::uint32_t>& owner) {
            return !owner.empty() && owner[0] == static_cast<std::uint32_t>(pid);
        });
    std::reverse(owned.begin(), owned.end());
    return describe(ordinary(owned));
}

std::vector<WindowInfo> LinuxWindowSystem::shownWindows() const
{
    std::lock_guard lock(m_mutex);
    if (!m_queries->ensure())
        return {};
    XcbConnection& x = *m_queries;
    const xcb_atom_t hidden = x.atom("_NET_WM_STATE_HIDDEN");
    auto shown = keep(x, stackedWindows(), x.atom("_NET_WM_STATE"), 256,
                      [hidden](const std::vector<std::uint32_t>& state) {
                          return std::find(state.begin(), state.end(), hidden) == state.end();
                      });
    std::reverse(shown.begin(), shown.end());
    auto described = describe(ordinary(shown));
    const auto current =
        XcbConnection::values32(x.take(x.ask(x.roots().front(), x.atom("_NET_CURRENT_DESKTOP"), 4)));
    if (!current.empty()) {
        std::erase_if(described, [&](const WindowInfo& window) {
            return window.desktop && *window.desktop != allDesktops && *window.desktop != current[0];
        });
    }
    return described;
}

std::vector<WindowInfo> LinuxWindowSystem::describe(const std::vector<std::uint32_t>& windows) const
{
    XcbConnection& x = *m_queries;
    xcb_connection_t* c = x.get();
    const xcb_atom_t utf8 = x.atom("UTF8_STRING");
    const xcb_atom_t fullScreen = x.atom("_NET_WM_STATE_FULLSCREEN");
    const xcb_window_t root = x.roots().front();
    struct Cookies
    {
        xcb_get_property_cookie_t pid, wmClass, netName, wmName, desktop, state;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
    };
    std::vector<Cookies> cookies;
    for (const auto window : windows) {
        cookies.push_back({x.ask(window, x.atom("_NET_WM_PID"), 4), x.ask(window, XCB_ATOM_WM_CLASS, 512),
                           x.ask(window, x.atom("_NET_WM_NAME"), titleReadBytes),
                           x.ask(window, XCB_ATOM_WM_NAME, titleReadBytes),
                           x.ask(window, x.atom("_NET_WM_DESKTOP"), 4),
                           x.ask(window, x.atom("_NET_WM_STATE"), 256), xcb_get_geometry(c, window),
                           xcb_translate_coordinates(c, window, root, 0, 0)});
    }
    std::vector<WindowInfo> result;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Cookies& asked = cookies[i];
        WindowInfo info;
        info.id = windows[i];
        if (const auto pid = XcbConnection::values32(x.take(asked.pid)); !pid.empty())
            info.pid = static_cast<pid_t>(pid[0]);
        if (const auto wmClass = x.take(asked.wmClass); wmClass && wmClass->format == 8) {
            // "instance\0class\0"
            const std::string& value = wmClass->bytes;
            const auto split = value.find('\0');
            info.instance = value.substr(0, split);
            if (split != std::string::npos)
                info.windowClass = value.substr(split + 1, value.find('\0', split + 1) - split - 1);
        }
        const auto netName = x.take(asked.netName);
        const auto wmName = x.take(asked.wmName);
        if (netName && netName->format == 8 && netName->type == utf8)
            info.title = boundedUtf8(netName->bytes);
        else if (wmName && wmName->format == 8)
            info.title =
                boundedUtf8(wmName->type == XCB_ATOM_STRING ? latin1ToUtf8(wmName->bytes) : wmName->bytes);
        if (const auto desktop = XcbConnection::values32(x.take(asked.desktop)); !desktop.empty())
            info.desktop = desktop[0];
        const auto state = XcbConnection::values32(x.take(asked.state));
        info.isFullScreen = std::find(state.begin(), state.end(), fullScreen) != state.end();

        xcb_generic_error_t* error = nullptr;
        const Freed<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(c, asked.geometry, &error)};
        std::free(error);
        error = nullptr;
        const Freed<xcb_translate_coordinates_reply_t> origin{
            xcb_translate_coordinates_reply(c, asked.origin, &error)};
        std::free(error);
        // No geometry: the window has gone.
        if (!geometry.reply)
            continue;
        info.frame = QRect(origin.reply ? origin.reply->dst_x : geometry.reply->x,
                           origin.reply ? origin.reply->dst_y : geometry.reply->y, geometry.reply->width,
                           geometry.reply->height);
        result.push_back(std::move(info));
    }
    return result;
}

namespace {

// A request to the window manager, sent as the root's substructure redirect expects it.
bool askWindowManager(XcbConnection& x, xcb_window_t window, const char* type,
                      std::array<std::uint32_t, 3> data)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = x.atom(type);
    std::copy(data.begin(), data.end(), message.data.data32);
    const auto cookie =
        xcb_send_event_checked(x.get(), 0, x.roots().front(),
                               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                               reinterpret_cast<const char*>(&message));
    xcb_generic_error_t* error = xcb_request_check(x.get(), cookie);
    const bool delivered = error == nullptr;
    std::free(error);
    return delivered;
}

} // namespace

bool LinuxWindowSystem::activate(WindowId id)
{
    std::lock_guard lock(m_mutex);
    if (id == 0 || !hasWindowManager())
        return false;
    const auto described = describe({id});
    if (described.empty())
        return false;
    XcbConnection& x = *m_queries;
    const xcb_window_t root = x.roots().front();

    // Several managers (openbox among them) leave the desktop as it is when asked to activate a
    // window on another one, and the request then does nothing visible: go to its desktop first.
    if (const auto desktop = described.front().desktop; desktop && *desktop != allDesktops) {
        const auto current = XcbConnection::values32(x.take(x.ask(root, x.atom("_NET_CURRENT_DESKTOP"), 4)));
        if (current.empty() || current[0] != *desktop)
            askWindowManager(x, root, "_NET_CURRENT_DESKTOP", {*desktop, XCB_CURRENT_TIME, 0});
    }
    // A minimised window comes back the way its own client would bring it back: by mapping it,
    // which the manager receives as a request to leave the iconic state.
    const xcb_atom_t hidden = x.atom("_NET_WM_STATE_HIDDEN");
    const auto state = XcbConnection::values32(x.take(x.ask(id, x.atom("_NET_WM_STATE"), 256)));
    if (std::find(state.begin(), state.end(), hidden) != state.end()) {
        xcb_map_window(x.get(), id);
        xcb_flush(x.get());
    }

    // Source 2: a pager acting for the user, which window managers obey without focus-stealing
    // checks. No timestamp is at hand outside an input event.
    const auto current = activeWindowId();
    return askWindowManager(x, id, "_NET_ACTIVE_WINDOW",
                            {2, XCB_CURRENT_TIME, current.value_or(XCB_WINDOW_NONE)});
}

} // namespace velquist
