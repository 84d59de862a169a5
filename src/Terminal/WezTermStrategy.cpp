#include "Terminal/WezTermStrategy.h"

#include "Core/Session.h"
#include "Platform/ProcessRunner.h"
#include "Platform/WorkerTask.h"
#include "Shared/Json.h"

#include <QUrl>
#include <algorithm>

namespace velquist {

namespace {

std::optional<std::string> paneFromEnvironment(const Session& session)
{
    const auto pane = session.terminal.env.find("WEZTERM_PANE");
    if (pane == session.terminal.env.end() || pane->second.empty() || pane->second.size() > 18 ||
        !std::all_of(pane->second.begin(), pane->second.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return pane->second;
}

} // namespace

WezTermStrategy::WezTermStrategy(TerminalTools tools) : m_tools(std::move(tools)) {}

std::optional<std::int64_t> WezTermStrategy::paneID(const std::string& listJSON,
                                                    const std::optional<std::string>& tty,
                                                    const std::string& cwd)
{
    const auto list = Json::parse(listJSON);
    if (!list || !list->is_array() ||
        !std::all_of(list->begin(), list->end(), [](const auto& pane) { return pane.is_object(); }))
        return std::nullopt;
    const auto idOf = [](const nlohmann::json& pane) -> std::optional<std::int64_t> {
        const auto id = pane.find("pane_id");
        if (id == pane.end() || !id->is_number_integer())
            return std::nullopt;
        return id->get<std::int64_t>();
    };
    if (tty) {
        for (const auto& pane : *list) {
            const auto name = pane.find("tty_name");
            if (name != pane.end() && name->is_string() && name->get<std::string>() == "/dev/" + *tty) {
                if (const auto id = idOf(pane))
                    return id;
                break;
            }
        }
    }
    for (const auto& pane : *list) {
        const auto folder = pane.find("cwd");
        if (folder == pane.end() || !folder->is_string())
            continue;
        const QUrl url(QString::fromStdString(folder->get<std::string>()));
        if (url.isValid() && !url.scheme().isEmpty() && url.path().toStdString() == cwd)
            return idOf(pane);
    }
    return std::nullopt;
}

void WezTermStrategy::focus(const Session& session, const RunningApp& app, QObject* context, Done done)
{
    runOnWorker<bool>(
        context,
        [tools = m_tools, app, pane = paneFromEnvironment(session), tty = session.terminal.tty,
         cwd = session.cwd] {
            const auto tool = tools.locate("wezterm", app);
            if (!tool)
                return false;
            auto target = pane;
            if (!target) {
                const auto list = tools.runner.run({*tool, {"cli", "list", "--format", "json"}});
                if (!list.succeeded())
                    return false;
                if (const auto id = paneID(list.output, tty, cwd))
                    target = std::to_string(*id);
            }
            return target &&
                   tools.runner.run({*tool, {"cli", "activate-pane", "--pane-id", *target}}).succeeded();
        },
        std::move(done));
}

} // namespace velquist
