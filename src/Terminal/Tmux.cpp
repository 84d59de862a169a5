#include "Terminal/Tmux.h"

#include "Core/CommandLookup.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <sstream>

namespace velquist {

namespace {

struct ClientLine
{
    pid_t pid = 0;
    std::int64_t activity = 0;
    std::string session;
    std::string pane;
};

template <typename Number> bool parseNumber(std::string_view text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

Tmux::Tmux(ProcessRunner& runner, CommandLookup& lookup) : m_runner(runner), m_lookup(lookup) {}

std::optional<std::string> Tmux::pane(const TerminalEnvironment& env)
{
    const auto found = env.find("TMUX_PANE");
    if (found == env.end() || found->second.empty())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> Tmux::socketPath(std::string_view tmuxVariable)
{
    const auto comma = tmuxVariable.find(',');
    const auto first = tmuxVariable.substr(0, comma);
    if (first.empty())
        return std::nullopt;
    return std::string(first);
}

std::optional<std::string> Tmux::executable()
{
    return m_lookup.find("tmux", {"/usr/local/bin/tmux", "/usr/bin/tmux"});
}

ProcessResult Tmux::run(const std::string& executable, const TerminalEnvironment& env,
                        std::vector<std::string> arguments)
{
    ProcessRequest request{executable, {}, commandTimeout};
    if (const auto tmux = env.find("TMUX"); tmux != env.end()) {
        if (auto socket = socketPath(tmux->second)) {
            request.arguments.push_back("-S");
            request.arguments.push_back(std::move(*socket));
        }
    }
    request.arguments.insert(request.arguments.end(), std::make_move_iterator(arguments.begin()),
                             std::make_move_iterator(arguments.end()));
    return m_runner.run(request);
}

std::vector<Tmux::Client> Tmux::clients(const TerminalEnvironment& env)
{
    const auto paneId = pane(env);
    if (!paneId)
        return {};
    const auto tmux = executable();
    if (!tmux)
        return {};
    // A window may be linked into several sessions; clients of the pane's own session show it for
    // certain, the others at least show the server the pane lives on.
    const auto paneSession = run(*tmux, env, {"display-message", "-p", "-t", *paneId, "#{session_id}"});
    const std::string session = paneSession.succeeded() ? trimmed(paneSession.output) : std::string();
    const auto listing =
        run(*tmux, env, {"list-clients", "-F", "#{client_pid} #{client_activity} #{session_id} #{pane_id}"});
    if (!listing.succeeded())
        return {};

    std::vector<ClientLine> clients;
    std::istringstream lines(listing.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string pidText, activityText;
        ClientLine client;
        fields >> pidText >> activityText >> client.session >> client.pane;
        if (parseNumber(pidText, client.pid) && client.pid > 1 && parseNumber(activityText, client.activity))
            clients.push_back(std::move(client));
    }
    std::stable_sort(clients.begin(), clients.end(), [&session](const ClientLine& a, const ClientLine& b) {
        const bool aShows = !session.empty() && a.session == session;
        const bool bShows = !session.empty() && b.session == session;
        if (aShows != bShows)
            return aShows;
        return a.activity > b.activity;
    });
    std::vector<Client> result;
    for (auto& client : clients)
        result.push_back({client.pid, std::move(client.pane)});
    return result;
}

} // namespace velquist
