#include "Ingestion/ClaudeVersionProbe.h"

#include "Core/CommandLookup.h"
#include "Core/NaturalOrder.h"
#include "Platform/ProcessRunner.h"
#include "Platform/UserDefaults.h"
#include "Platform/WorkerTask.h"
#include "Shared/Log.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace velquist::ClaudeVersionProbe {

namespace fs = std::filesystem;

namespace {

bool isReadable(const fs::path& path)
{
    return ::access(path.c_str(), R_OK) == 0;
}

std::optional<ClaudeInstallation> fallbackFromPath(const fs::path& home)
{
    const fs::path candidates[] = {home / ".local/bin/claude", home / ".claude/local/claude",
                                   "/opt/homebrew/bin/claude", "/usr/local/bin/claude"};
    for (const fs::path& candidate : candidates) {
        if (!isReadable(candidate))
            continue;
        std::error_code ec;
        fs::path executable = fs::canonical(candidate, ec);
        if (ec)
            executable = candidate;
        const std::uintmax_t size = fs::file_size(executable, ec);
        return ClaudeInstallation{"unversioned-" + std::to_string(ec ? 0 : size), executable};
    }
    return std::nullopt;
}

std::string cacheKey(const ClaudeInstallation& installation, const std::string& event)
{
    return std::string(kCachePrefix) + installation.version + "." + event;
}

} // namespace

std::optional<ClaudeInstallation> installedVersion(const fs::path& home)
{
    const fs::path versions = home / ".local/share/claude/versions";
    std::optional<std::string> newest;
    std::error_code ec;
    for (fs::directory_iterator it(versions, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.starts_with('.'))
            continue;
        if (!newest || naturalCompare(QString::fromStdString(*newest), QString::fromStdString(name)) < 0)
            newest = std::move(name);
    }
    if (!newest)
        return fallbackFromPath(home);
    const fs::path executable = versions / *newest;
    if (!isReadable(executable))
        return fallbackFromPath(home);
    return ClaudeInstallation{*newest, executable};
}

bool cachedSupport(const fs::path& home, const std::string& event, const UserDefaults& defaults)
{
    const std::optional<ClaudeInstallation> installation = installedVersion(home);
    if (!installation)
        return false;
    return defaults.boolValue(cacheKey(*installation, event)).value_or(false);
}

bool supportsHookEvent(const fs::path& home, const std::string& event, UserDefaults& defaults)
{
    const std::optional<ClaudeInstallation> installation = installedVersion(home);
    if (!installation)
        return false;
    const std::string key = cacheKey(*installation, event);
    if (const std::optional<bool> cached = defaults.boolValue(key))
        return *cached;
    const std::optional<bool> found = fileContains(installation->executable, event);
    if (!found)
        return false;
    defaults.setValue(key, *found);
    Log::debug("probe",
               "claude " + installation->version + (*found ? " supports " : " does not support ") + event);
    return *found;
}

void forgetNegativeAnswers(UserDefaults& defaults)
{
    const nlohmann::json all = defaults.snapshot();
    for (const auto& [key, value] : all.items()) {
        if (key.starts_with(kCachePrefix) && value.is_boolean() && !value.get<bool>())
            defaults.remove(key);
    }
}

bool refreshSubagentSupport(const fs::path& home, UserDefaults& defaults)
{
    forgetNegativeAnswers(defaults);
    const bool start = supportsHookEvent(home, "SubagentStart", defaults);
    const bool stop = supportsHookEvent(home, "SubagentStop", defaults);
    return start || stop;
}

void refreshInBackground(const fs::path& home, UserDefaults& defaults, QObject* context,
                         std::function<void(bool)> done)
{
    runOnWorker<bool>(
        context, [home, &defaults] { return refreshSubagentSupport(home, defaults); }, std::move(done));
}

std::optional<std::string> version(ProcessRunner& runner, CommandLookup& lookup)
{
    const std::optional<std::string> claude = lookup.find("claude");
    if (!claude)
        return std::nullopt;
    const ProcessResult result = runner.run({*claude, {"--version"}, std::chrono::seconds(5)});
    if (!result.succeeded())
        return std::nullopt;
    std::istringstream words(result.output);
    std::string first;
    if (!(words >> first))
        return std::nullopt;
    return first;
}

void versionInBackground(ProcessRunner& runner, CommandLookup& lookup, QObject* context,
                         std::function<void(std::optional<std::string>)> done)
{
    runOnWorker<std::optional<std::string>>(
        context, [&runner, &lookup] { return version(runner, lookup); }, std::move(done));
}

std::optional<bool> fileContains(const fs::path& path, std::string_view needle)
{
    if (needle.empty())
        return true;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    // Chunks keep the tail of the previous one, so a name split across a boundary is still found;
    // reading rather than mapping cannot fault if the file is replaced while we look.
    constexpr std::size_t kChunk = 1 << 20;
    const std::size_t keep = needle.size() - 1;
    std::vector<char> buffer(kChunk + keep);
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    std::size_t carried = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data() + carried, kChunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        const auto filled =
            buffer.begin() + static_cast<std::ptrdiff_t>(carried + static_cast<std::size_t>(n));
        if (std::search(buffer.begin(), filled, searcher) != filled) {
            ::close(fd);
            return true;
        }
        carried = std::min(keep, carried + static_cast<std::size_t>(n));
        std::copy(filled - static_cast<std::ptrdiff_t>(carried), filled, buffer.begin());
    }
    ::close(fd);
    return false;
}

} // namespace velquist::ClaudeVersionProbe
