#include "Shared/HookCleanup.h"

#include "Shared/AgentCatalog.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/JsonScan.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace velquist {

namespace fs = std::filesystem;
using ordered_json = nlohmann::ordered_json;

namespace HookCleanup {

namespace {

bool isWordEnd(char c)
{
    return std::string_view(" \t\r\n'\";&|)<>`").find(c) != std::string_view::npos;
}

bool isPathStart(char c)
{
    return c == '/' || c == '\'' || c == '"' || c == ' ' || c == '\t';
}

bool isListOfObjects(const ordered_json& value)
{
    if (!value.is_array())
        return false;
    for (const auto& element : value) {
        if (!element.is_object())
            return false;
    }
    return true;
}

bool hasOwnCommand(const ordered_json& entry)
{
    const auto command = entry.find("command");
    return command != entry.end() && command->is_string() && isOurs(command->get_ref<const std::string&>());
}

// One event's entries without ours; returns whether anything was removed.
bool stripEntries(ordered_json& entries)
{
    bool changed = false;
    ordered_json kept = ordered_json::array();
    for (auto& entry : entries) {
        const auto inner = entry.find("hooks");
        if (inner != entry.end() && isListOfObjects(*inner)) {
            ordered_json innerKept = ordered_json::array();
            for (auto& hook : *inner) {
                if (!hasOwnCommand(hook))
                    innerKept.push_back(std::move(hook));
            }
            if (innerKept.size() != inner->size()) {
                changed = true;
                if (innerKept.empty())
                    continue;
            }
            *inner = std::move(innerKept);
            kept.push_back(std::move(entry));
        } else if (hasOwnCommand(entry)) {
            changed = true;
        } else {
            kept.push_back(std::move(entry));
        }
    }
    entries = std::move(kept);
    return changed;
}

} // namespace

bool isOurs(std::string_view command)
{
    for (const std::string_view marker : kOwnMarkers) {
        for (std::size_t at = command.find(marker); at != std::string_view::npos;
             at = command.find(marker, at + 1)) {
            const std::size_t end = at + marker.size();
            if ((at == 0 || isPathStart(command[at - 1])) &&
                (end == command.size() || isWordEnd(command[end])))
                return true;
        }
    }
    return false;
}

std::vector<AgentConfigFile> configs(const fs::path& home)
{
    std::vector<AgentConfigFile> result;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        const fs::path file = agent.configPath(home);
        result.push_back({file, AgentConfigEditor::backupOf(file)});
    }
    return result;
}

bool strip(ordered_json& settings)
{
    if (!settings.is_object())
        return false;
    const auto hooks = settings.find("hooks");
    if (hooks == settings.end() || !hooks->is_object())
        return false;
    bool changed = false;
    std::vector<std::string> emptied;
    for (auto& [event, entries] : hooks->items()) {
        if (!isListOfObjects(entries) || !stripEntries(entries))
            continue;
        changed = true;
        if (entries.empty())
            emptied.push_back(event);
    }
    for (const auto& event : emptied)
        hooks->erase(event);
    if (changed && hooks->empty())
        settings.erase(hooks);
    return changed;
}

std::vector<fs::path> stripAllConfigs(const fs::path& home)
{
    std::vector<fs::path> rewritten;
    for (const auto& file : configs(home)) {
        if (AgentConfigEditor::edit(file, strip).status == AgentConfigEdit::Status::rewritten)
            rewritten.push_back(file.url);
    }
    return rewritten;
}

void recordInstalledApp(const HomePaths& paths, const fs::path& appPath)
{
    FileUtil::ensurePrivateDirectory(paths.support());
    FileUtil::writeOwnFile(paths.appPathFile(), appPath.string());
}

bool appIsDefinitelyGone(const HomePaths& paths)
{
    const FileRead file = FileUtil::read(paths.appPathFile(), 64 * 1024);
    if (!file.ok() || !JsonScan::isUtf8(file.bytes))
        return false;
    constexpr std::string_view blank = " \t\r\n\v\f";
    const std::string_view text = file.bytes;
    const std::size_t first = text.find_first_not_of(blank);
    if (first == std::string_view::npos)
        return false;
    const std::string path(text.substr(first, text.find_last_not_of(blank) - first + 1));
    // A relative path would be judged against the agent's folder, which says nothing.
    if (path.front() != '/')
        return false;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR;
}

} // namespace HookCleanup
} // namespace velquist
