#include "Platform/Linux/KWinWindowSystem.h"

#include "Platform/Linux/KWinReportReceiver.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <unistd.h>

namespace velquist {

namespace {

constexpr auto scriptTimeout = std::chrono::milliseconds(2000);
constexpr auto callTimeout = 2000;

// Reads what KWin 5 and KWin 6 name differently, so one script serves both.
constexpr const char* prelude = R"JS(
var ws = workspace;
function windowList() {
    if (ws.stackingOrder) return ws.stackingOrder.slice().reverse();
    return ws.windowList ? ws.windowList() : ws.clientList();
}
function activeWindow() { return ws.activeWindow !== undefined ? ws.activeWindow : ws.activeClient; }
function onCurrentDesktop(w) {
    if (w.onAllDesktops) return true;
    if (w.desktops) return w.desktops.indexOf(ws.currentDesktop) >= 0;
    return w.desktop === ws.currentDesktop;
}
function desktopOf(w) {
    if (w.onAllDesktops) return -1;
    if (w.desktops) return w.desktops.length ? w.desktops[0].x11DesktopNumber : 0;
    return w.desktop;
}
)JS";

constexpr const char* listBody = R"JS(
var active = activeWindow();
var out = [];
var list = windowList();
for (var i = 0; i < list.length; ++i) {
    var w = list[i];
    if (!w || !w.normalWindow) continue;
    var g = w.frameGeometry;
    out.push({id: String(w.internalId), pid: w.pid, title: w.caption, resourceName: String(w.resourceName),
              resourceClass: String(w.resourceClass), desktop: desktopOf(w), x: g.x, y: g.y,
              width: g.width, height: g.height, fullScreen: !!w.fullScreen, minimized: !!w.minimized,
              active: w === active, onCurrentDesktop: onCurrentDesktop(w)});
}
answer(JSON.stringify(out));
)JS";

constexpr const char* activateBody = R"JS(
var done = false;
var list = windowList();
for (var i = 0; i < list.length; ++i) {
    var w = list[i];
    if (!w || String(w.internalId) !== TARGET) continue;
    if (w.minimized) w.minimized = false;
    if (!onCurrentDesktop(w)) ws.currentDesktop = w.desktops ? w.desktops[0] : w.desktop;
    if (ws.activeWindow !== undefined) ws.activeWindow = w; else ws.activeClient = w;
    done = true;
}
answer(done ? "true" : "false");
)JS";

constexpr const char* watchBody = R"JS(
function tell(what) { callDBus(SERVICE, PATH, "org.velquist.KWinReport", "changed", what); }
// A window that enters or leaves full screen stays where it is: only its own signal says so.
function follow(w) {
    if (w && w.fullScreenChanged) w.fullScreenChanged.connect(function () { tell("stacking"); });
}
var opened = windowList();
for (var i = 0; i < opened.length; ++i) follow(opened[i]);
(ws.windowActivated || ws.clientActivated).connect(function () { tell("active"); });
(ws.windowAdded || ws.clientAdded).connect(function (w) { follow(w); tell("stacking"); });
(ws.windowRemoved || ws.clientRemoved).connect(function () { tell("stacking"); });
ws.currentDesktopChanged.connect(function () { tell("active"); tell("stacking"); });
)JS";

std::string literal(const std::string& text)
{
    return Json::dump(nlohmann::json(text));
}

QDBusMessage scripting(const QString& method, const QList<QVariant>& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(KWinWindowSystem::service),
                                                       QStringLiteral("/Scripting"),
                                                       QStringLiteral("org.kde.kwin.Scripting"), method);
    call.setArguments(arguments);
    return call;
}

} // namespace

KWinWindowSystem::KWinWindowSystem(QDBusConnection bus, std::filesystem::path scriptFolder, QObject* parent)
    : CompositorWindowSystem(parent), m_bus(std::move(bus)), m_folder(std::move(scriptFolder))
{
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all, error);
    if (!m_bus.isConnected() || error)
        return;
    m_receiver = new KWinReportReceiver;
    m_receiver->moveToThread(&m_receiverThread);
    connect(&m_receiverThread, &QThread::finished, m_receiver, &QObject::deleteLater);
    connect(m_receiver, &KWinReportReceiver::activeWindowChanged, this, &WindowSystem::activeWindowChanged);
    connect(m_receiver, &KWinReportReceiver::stackingChanged, this, &WindowSystem::stackingChanged);
    m_receiverThread.start();
    m_registered = m_bus.registerObject(QString::fromLatin1(reportPath), m_receiver,
                                        QDBusConnection::ExportScriptableSlots);
    if (!m_registered) {
        Log::debug("windows", "cannot take the D-Bus path for KWin's answers");
        return;
    }
    const std::string script = std::string(prelude) +
                               "var SERVICE = " + literal(m_bus.baseService().toStdString()) +
                               ";\nvar PATH = " + literal(reportPath) + ";\n" + watchBody;
    const auto file = m_folder / "watch.js";
    std::ofstream(file, std::ios::trunc) << script;
    const QString plugin = QStringLiteral("velquist-watch-%1").arg(::getpid());
    m_bus.call(scripting(QStringLiteral("unloadScript"), {plugin}), QDBus::Block, callTimeout);
    const QDBusReply<int> id =
        m_bus.call(scripting(QStringLiteral("loadScript"), {QString::fromStdString(file.string()), plugin}),
                   QDBus::Block, callTimeout);
    if (id.isValid() && id.value() >= 0) {
        m_bus.call(scripting(QStringLiteral("start"), {}), QDBus::Block, callTimeout);
        m_watching = true;
    }
}

KWinWindowSystem::~KWinWindowSystem()
{
    if (m_watching)
        m_bus.call(
            scripting(QStringLiteral("unloadScript"), {QStringLiteral("velquist-watch-%1").arg(::getpid())}),
            QDBus::NoBlock);
    if (m_registered)
        m_bus.unregisterObject(QString::fromLatin1(reportPath));
    m_receiverThread.quit();
    m_receiverThread.wait();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::unique_ptr<KWinWindowSystem> KWinWindowSystem::create()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString::fromLatin1(service)))
        return nullptr;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath());
    auto system = std::make_unique<KWinWindowSystem>(
        bus, std::filesystem::path(runtime.toStdString()) / ("velquist-kwin-" + std::to_string(::getpid())));
    return system->canListWindows() ? std::move(system) : nullptr;
}

std::optional<std::string> KWinWindowSystem::runScript(const std::string& body) const
{
    if (!m_registered)
        return std::nullopt;
    const std::string token = std::to_string(::getpid()) + "-" + std::to_string(m_nextToken++);
    const std::string script = std::string(prelude) + "function answer(text) { callDBus(" +
                               literal(m_bus.baseService().toStdString()) + ", " + literal(reportPath) +
                               ", \"org.velquist.KWinReport\", \"report\", " + literal(token) +
                               ", text); }\n" + body;
    const auto file = m_folder / ("query-" + token + ".js");
    std::ofstream(file, std::ios::trunc) << script;
    const QString plugin = QStringLiteral("velquist-query-%1").arg(QString::fromStdString(token));
    std::optional<std::string> answer;
    const QDBusReply<int> id =
        m_bus.call(scripting(QStringLiteral("loadScript"), {QString::fromStdString(file.string()), plugin}),
                   QDBus::Block, callTimeout);
    if (id.isValid() && id.value() >= 0) {
        // KWin 6 names a loaded script /Scripting/Script<N>; KWin 5 named it /<N>.
        bool ran = false;
        for (const QString& path :
             {QStringLiteral("/Scripting/Script%1").arg(id.value()), QStringLiteral("/%1").arg(id.value())}) {
            const QDBusMessage reply = m_bus.call(
                QDBusMessage::createMethodCall(QString::fromLatin1(service), path,
                                               QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run")),
                QDBus::Block, callTimeout);
            if ((ran = reply.type() == QDBusMessage::ReplyMessage))
                break;
        }
        if (ran)
            answer = m_receiver->await(token, scriptTimeout);
    }
    m_bus.call(scripting(QStringLiteral("unloadScript"), {plugin}), QDBus::NoBlock);
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return answer;
}

WindowId KWinWindowSystem::idFor(const std::string& internalId) const
{
    const auto found = m_ids.find(internalId);
    if (found != m_ids.end())
        return found->second;
    const WindowId id = m_nextId++;
    m_ids.emplace(internalId, id);
    m_internalIds.emplace(id, internalId);
    return id;
}

std::vector<CompositorWindow> KWinWindowSystem::snapshot(Flags) const
{
    std::vector<CompositorWindow> result;
    const auto text = runScript(listBody);
    const auto list = text ? Json::parse(*text) : std::nullopt;
    if (!list || !list->is_array())
        return result;
    std::lock_guard lock(m_mutex);
    std::set<std::string> present;
    for (const auto& entry : *list) {
        const auto internalId = Json::string(entry, "id");
        if (!internalId || internalId->empty())
            continue;
        present.insert(*internalId);
        CompositorWindow window;
        window.info.id = idFor(*internalId);
        const auto pid = Json::integer(entry, "pid").value_or(0);
        window.info.pid = pid > 0 && pid <= 0x7fffffff ? static_cast<pid_t>(pid) : 0;
        auto title = Json::string(entry, "title");
        if (title && title->size() <= WindowSystem::maxTitleBytes)
            window.info.title = std::move(title);
        window.info.instance = Json::string(entry, "resourceName").value_or("");
        window.info.windowClass = Json::string(entry, "resourceClass").value_or("");
        // KWin counts desktops from 1; ours from 0, as EWMH does.
        const auto desktop = Json::integer(entry, "desktop").value_or(0);
        if (desktop == -1)
            window.info.desktop = WindowSystem::allDesktops;
        else if (desktop > 0 && desktop < WindowSystem::allDesktops)
            window.info.desktop = static_cast<std::uint32_t>(desktop - 1);
        const auto get = [&entry](std::string_view key) {
            return static_cast<int>(std::clamp<double>(Json::number(entry, key).value_or(0), -1e6, 1e6));
        };
        window.info.frame = QRect(get("x"), get("y"), get("width"), get("height"));
        window.info.isFullScreen = Json::boolean(entry, "fullScreen").value_or(false);
        window.focused = Json::boolean(entry, "active").value_or(false);
        window.shown = Json::boolean(entry, "onCurrentDesktop").value_or(false) &&
                       !Json::boolean(entry, "minimized").value_or(false);
        result.push_back(std::move(window));
    }
    for (auto it = m_ids.begin(); it != m_ids.end();) {
        if (present.contains(it->first)) {
            ++it;
        } else {
            m_internalIds.erase(it->second);
            it = m_ids.erase(it);
        }
    }
    return result;
}

bool KWinWindowSystem::canListWindows() const
{
    return m_registered;
}

bool KWinWindowSystem::canActivateWindows() const
{
    return m_registered;
}

bool KWinWindowSystem::canWatchActiveWindow() const
{
    return m_watching;
}

bool KWinWindowSystem::activate(WindowId id)
{
    std::string internalId;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_internalIds.find(id);
        if (found == m_internalIds.end())
            return false;
        internalId = found->second;
    }
    const auto answer = runScript("var TARGET = " + literal(internalId) + ";\n" + activateBody);
    return answer == "true";
}

} // namespace velquist
