#include "Core/CommandLookup.h"

#include "Shared/FileUtil.h"
#include "Shared/Log.h"
#include "Shared/UserAccount.h"

#include <algorithm>

namespace velquist {

namespace {

// The name goes into the shell's command line, so it may hold nothing the shell would read as
// syntax.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name.front() != '-' && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '+' || c == '-';
    });
}

} // namespace

CommandLookup::CommandLookup(ProcessRunner& runner, std::string loginShell, std::chrono::milliseconds timeout)
    : m_runner(runner), m_shell(std::move(loginShell)), m_timeout(timeout)
{
}

std::string CommandLookup::defaultShell()
{
    return UserAccount::loginShell();
}

void CommandLookup::forget(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    m_found.erase(name);
}

std::optional<std::string> CommandLookup::find(const std::string& name,
                                               const std::vector<std::string>& wellKnownPaths)
{
    if (!isPlainName(name)) {
        Log::debug("process", "refused to look up \"" + name + "\": not a plain program name");
        return std::nullopt;
    }
    {
        std::lock_guard lock(m_mutex);
        if (auto found = m_found.find(name); found != m_found.end())
            return found->second;
    }
    std::optional<std::string> path;
    for (const auto& candidate : wellKnownPaths) {
        if (FileUtil::isExecutableFile(candidate)) {
            path = candidate;
            break;
        }
    }
    if (!path) {
        const auto result = m_runner.run({m_shell, {"-lc", "command -v " + name}, m_timeout});
        if (result.succeeded())
            path = pathFromOutput(result.output);
        if (path && !FileUtil::isExecutableFile(*path))
            path.reset();
    }
    if (!path) {
        Log::debug("process", name + " not found");
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return m_found.emplace(name, *path).first->second;
}

std::optional<std::string> CommandLookup::pathFromOutput(const std::string& output)
{
    std::size_t end = output.size();
    while (end > 0) {
        const auto start = output.rfind('\n', end - 1);
        const std::size_t from = start == std::string::npos ? 0 : start + 1;
        std::string line = output.substr(from, end - from);
        const auto first = line.find_first_not_of(" \t\r");
        const auto last = line.find_last_not_of(" \t\r");
        if (first != std::string::npos) {
            line = line.substr(first, last - first + 1);
            return line.front() == '/' ? std::optional(line) : std::nullopt;
        }
        if (start == std::string::npos)
            break;
        end = start;
    }
    return std::nullopt;
}

} // namespace velquist
