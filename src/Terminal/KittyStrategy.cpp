#include "Terminal/KittyStrategy.h"

#include "Core/Session.h"
#include "Platform/ProcessRunner.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"

#include <algorithm>

namespace velquist {

KittyStrategy::KittyStrategy(TerminalTools tools) : m_tools(std::move(tools)) {}

std::string KittyStrategy::anchoredPattern(const std::string& text)
{
    static constexpr std::string_view special = "\\^$.|?*+()[]{}";
    std::string pattern = "^";
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern + "$";
}

std::vector<std::string> KittyStrategy::matches(const Session& session)
{
    std::vector<std::string> result;
    const auto& env = session.terminal.env;
    if (const auto id = env.find("KITTY_WINDOW_ID");
        id != env.end() && !id->second.empty() &&
        std::all_of(id->second.begin(), id->second.end(), [](char c) { return c >= '0' && c <= '9'; }))
        result.push_back("id:" + id->second);
    if (session.terminal.ownerPID)
        result.push_back("pid:" + std::to_string(*session.terminal.ownerPID));
    if (!session.cwd.empty() && session.cwd != "unknown")
        result.push_back("cwd:" + anchoredPattern(session.cwd));
    return result;
}

void KittyStrategy::focus(const Session& session, const RunningApp& app, QObject* context, Done done)
{
    const auto address = session.terminal.env.find("KITTY_LISTEN_ON");
    if (address == session.terminal.env.end() || address->second.empty()) {
        done(false);
        return;
    }
    runOnWorker<bool>(
        context,
        [tools = m_tools, app, to = address->second, matches = matches(session)] {
            auto tool = tools.locate("kitten", app);
            if (!tool)
                tool = tools.locate("kitty", app);
            if (!tool)
                return false;
            for (const auto& match : matches) {
                const auto result =
                    tools.runner.run({*tool, {"@", "--to", to, "focus-window", "--match", match}});
                if (result.succeeded())
                    return true;
                Log::debug("focus", "kitty focus-window --match " + match + " failed");
            }
            return false;
        },
        std::move(done));
}

} // namespace velquist
