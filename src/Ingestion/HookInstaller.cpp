#include "Ingestion/HookInstaller.h"

#include "Ingestion/ClaudeVersionProbe.h"
#include "Shared/HookCleanup.h"
#include "Shared/Json.h"
#include "Shared/JsonRewrite.h"
#include "Shared/Log.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

namespace velquist::HookInstaller {

namespace fs = std::filesystem;
using OrderedJson = nlohmann::ordered_json;

namespace {

constexpr std::int64_t kDecideTimeout = 14400;
constexpr std::int64_t kEventTimeout = 10;

bool isOwn(const OrderedJson& entry)
{
    if (!entry.is_object())
        return false;
    const auto command = entry.find("command");
    return command != entry.end() && command->is_string() &&
           HookCleanup::isOurs(command->get_ref<const std::string&>());
}

bool isCurrent(const OrderedJson& entry, const std::string& command, std::int64_t timeout)
{
    const auto currentCommand = entry.find("command");
    const auto currentTimeout = entry.find("timeout");
    return currentCommand != entry.end() && *currentCommand == command && currentTimeout != entry.end() &&
           currentTimeout->is_number_integer() && currentTimeout->get<std::int64_t>() == timeout;
}

// Brings the first of our entries up to date. True when it had to change.
bool refresh(OrderedJson& entry, const std::string& command, std::int64_t timeout)
{
    if (isCurrent(entry, command, timeout))
        return false;
    entry["command"] = command;
    entry["timeout"] = timeout;
    return true;
}

bool isListOfObjects(const OrderedJson& value)
{
    return value.is_array() && std::all_of(value.begin(), value.end(),
                                           [](const OrderedJson& element) { return element.is_object(); });
}

void noteLeftAlone(std::vector<std::string>* leftAlone, const std::string& key)
{
    if (leftAlone)
        leftAlone->push_back(key);
}

// The event's entries to merge into: none when its value is anything but a list of objects (a
// string, an object, a list holding other things). Such a value is left exactly as it is, as the
// clean-up leaves it: replacing it would drop the user's entries, and an entry of ours added
// beside them could never be removed again. A missing event starts empty.
std::optional<OrderedJson> entriesOf(const OrderedJson& hooks, const std::string& event,
                                     std::vector<std::string>* leftAlone)
{
    const auto found = hooks.find(event);
    if (found == hooks.end())
        return OrderedJson::array();
    if (!isListOfObjects(*found)) {
        noteLeftAlone(leftAlone, "hooks." + event);
        return std::nullopt;
    }
    return *found;
}

// The "hooks" object to merge into: none when the file holds something else under that key.
std::optional<OrderedJson> hooksOf(const OrderedJson& settings, std::vector<std::string>* leftAlone)
{
    const auto found = settings.find("hooks");
    if (found == settings.end())
        return OrderedJson::object();
    if (!found->is_object()) {
        noteLeftAlone(leftAlone, "hooks");
        return std::nullopt;
    }
    return *found;
}

bool mergeEvent(OrderedJson& hooks, const std::string& event, const std::string& command,
                std::int64_t timeout, std::vector<std::string>* leftAlone)
{
    std::optional<OrderedJson> list = entriesOf(hooks, event, leftAlone);
    if (!list)
        return false;
    OrderedJson& entries = *list;
    std::vector<std::pair<std::size_t, std::size_t>> own;
    for (std::size_t group = 0; group < entries.size(); ++group) {
        const auto inner = entries[group].find("hooks");
        if (inner == entries[group].end() || !isListOfObjects(*inner))
            continue;
        for (std::size_t entry = 0; entry < inner->size(); ++entry) {
            if (isOwn((*inner)[entry]))
                own.emplace_back(group, entry);
        }
    }

    if (own.empty()) {
        entries.push_back(OrderedJson{
            {"hooks", OrderedJson::array(
                          {OrderedJson{{"command", command}, {"timeout", timeout}, {"type", "command"}}})}});
        hooks[event] = std::move(entries);
        return true;
    }
    // Walking back from the last duplicate keeps the earlier positions valid.
    for (std::size_t i = own.size() - 1; i >= 1; --i) {
        const auto [group, entry] = own[i];
        OrderedJson& inner = entries[group]["hooks"];
        inner.erase(entry);
        if (inner.empty())
            entries.erase(group);
    }
    const auto [group, entry] = own.front();
    const bool updated = refresh(entries[group]["hooks"][entry], command, timeout);
    if (!updated && own.size() == 1)
        return false;
    hooks[event] = std::move(entries);
    return true;
}

bool mergeCursorEvent(OrderedJson& hooks, const std::string& event, const std::string& command,
                      std::int64_t timeout, std::vector<std::string>* leftAlone)
{
    std::optional<OrderedJson> list = entriesOf(hooks, event, leftAlone);
    if (!list)
        return false;
    OrderedJson& entries = *list;
    std::vector<std::size_t> own;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (isOwn(entries[i]))
            own.push_back(i);
    }
    if (own.empty()) {
        entries.push_back(OrderedJson{{"command", command}, {"timeout", timeout}});
        hooks[event] = std::move(entries);
        return true;
    }
    for (std::size_t i = own.size() - 1; i >= 1; --i)
        entries.erase(own[i]);
    const bool updated = refresh(entries[own.front()], command, timeout);
    if (!updated && own.size() == 1)
        return false;
    hooks[event] = std::move(entries);
    return true;
}

std::string singleQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

bool mergeTarget(const HookInstallTarget& target, OrderedJson& settings, std::vector<std::string>* leftAlone)
{
    if (target.style == HookInstallStyle::cursorStyle)
        return mergeCursor(settings, target.helper.string(), leftAlone);
    return merge(settings,
                 expectedCommand(target.helper.string(), target.engineNamespace, target.decideOn,
                                 target.unavailableResponse),
                 target.events, target.decideEvents, target.timeoutScale, leftAlone);
}

} // namespace

HookInstallTarget target(const HomePaths& paths, const AgentEntry& agent)
{
    HookInstallTarget result;
    result.helper = paths.installedHelper();
    result.configURL = agent.configPath(paths.home());
    result.backupURL = HookCleanup::backupOf(result.configURL);
    for (const std::string_view event : agent.hookedEvents)
        result.events.emplace_back(event);
    result.engineNamespace = agent.idNamespace;
    result.style = agent.style;
    result.decideOn = agent.decideOn;
    result.decideEvents = {result.decideOn};
    result.timeoutScale = agent.timeoutScale;
    if (!agent.unavailableResponse.empty())
        result.unavailableResponse = std::string(agent.unavailableResponse);
    return result;
}

HookInstallTarget claudeTarget(const HomePaths& paths, const UserDefaults& defaults)
{
    HookInstallTarget target = HookInstaller::target(paths, *AgentCatalog::find(AgentKind::claudeCode));
    std::erase_if(target.events, [&](const std::string& event) {
        return (event == "SubagentStart" || event == "SubagentStop") &&
               !ClaudeVersionProbe::cachedSupport(paths.home(), event, defaults);
    });
    return target;
}

HookInstallTarget target(const HomePaths& paths, std::string_view idNamespace, const UserDefaults& defaults)
{
    const AgentEntry& agent = *AgentCatalog::find(idNamespace);
    return agent.kind == AgentKind::claudeCode ? claudeTarget(paths, defaults) : target(paths, agent);
}

const std::set<std::string>& cursorDecideEvents()
{
    static const std::set<std::string> events = {"beforeShellExecution", "beforeMCPExecution"};
    return events;
}

std::string quotedPath(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string expectedCommand(const std::string& helperPath, const std::string& engine,
                            const std::string& decideOn, const std::optional<std::string>& unavailable)
{
    std::string command = quotedPath(helperPath) + " --engine " + engine + " --decide-on " + decideOn;
    if (unavailable && !unavailable->empty())
        command += " --unavailable " + singleQuoted(*unavailable);
    return command;
}

std::string cursorCommand(const std::string& event, const std::string& helperPath)
{
    const std::string decideOn = cursorDecideEvents().contains(event) ? event : "beforeShellExecution";
    return quotedPath(helperPath) + " --engine cursor --decide-on " + decideOn;
}

bool merge(OrderedJson& settings, const std::string& command, const std::vector<std::string>& events,
           const std::set<std::string>& decideEvents, int timeoutScale, std::vector<std::string>* leftAlone)
{
    std::optional<OrderedJson> hooks = hooksOf(settings, leftAlone);
    if (!hooks)
        return false;
    bool changed = false;
    for (const std::string& event : events) {
        const std::int64_t timeout =
            (decideEvents.contains(event) ? kDecideTimeout : kEventTimeout) * timeoutScale;
        changed |= mergeEvent(*hooks, event, command, timeout, leftAlone);
    }
    if (changed)
        settings["hooks"] = std::move(*hooks);
    return changed;
}

bool mergeCursor(OrderedJson& settings, const std::string& helperPath, std::vector<std::string>* leftAlone)
{
    std::optional<OrderedJson> hooks = hooksOf(settings, leftAlone);
    if (!hooks)
        return false;
    bool changed = false;
    const auto version = settings.find("version");
    if (version == settings.end() || !version->is_number_integer() || version->get<std::int64_t>() != 1) {
        settings["version"] = 1;
        changed = true;
    }
    for (const std::string_view hooked : AgentCatalog::find("cursor")->hookedEvents) {
        const std::string event(hooked);
        const std::int64_t timeout = cursorDecideEvents().contains(event) ? kDecideTimeout : kEventTimeout;
        changed |= mergeCursorEvent(*hooks, event, cursorCommand(event, helperPath), timeout, leftAlone);
    }
    if (changed)
        settings["hooks"] = std::move(*hooks);
    return changed;
}

ConfigChange installHooks(const HookInstallTarget& target)
{
    using Status = HookConfigEdit::Status;
    std::vector<std::string> leftAlone;
    const HookConfigEdit edit =
        HookCleanup::editConfig({target.configURL, target.backupURL}, [&](OrderedJson& settings) {
            leftAlone.clear();
            return mergeTarget(target, settings, &leftAlone);
        });
    for (const std::string& key : leftAlone)
        Log::system("Velquist: left \"" + key + "\" in " + target.configURL.string() +
                    " as it is: it is not a list of hook entries");
    switch (edit.status) {
    case Status::rewritten:
        return {true, {}};
    case Status::unchanged:
        return {};
    case Status::missing:
        break;
    case Status::notObject:
        return {false, target.configURL.string() + " is not a JSON object; refusing to modify it."};
    case Status::unreadable:
    case Status::notWritable:
    case Status::failed:
        return {false, edit.error};
    }

    // Only a file that does not exist starts empty; there is nothing to back up.
    OrderedJson settings = OrderedJson::object();
    mergeTarget(target, settings, nullptr);
    std::error_code ec;
    fs::create_directories(target.configURL.parent_path(), ec);
    if (ec)
        return {false, "cannot create " + target.configURL.parent_path().string() + ": " + ec.message()};
    // Laid out as a two-space file that ends in a line feed.
    if (const FileResult written =
            FileUtil::writeAtomically(target.configURL, JsonRewrite::fresh(settings), 0600);
        !written)
        return {false, written.error};
    return {true, {}};
}

bool hooksInstalled(const HookInstallTarget& target)
{
    const FileRead read = FileUtil::read(target.configURL);
    if (!read.ok())
        return false;
    std::optional<OrderedJson> settings = Json::parseOrdered(read.bytes);
    std::vector<std::string> leftAlone;
    return settings && settings->is_object() && !mergeTarget(target, *settings, &leftAlone) &&
           leftAlone.empty();
}

FileResult ensureHelperInstalled(const HomePaths& paths, const fs::path& source)
{
    const fs::path installed = paths.installedHelper();
    const fs::path bin = installed.parent_path();
    if (FileResult folder = FileUtil::ensurePrivateDirectory(paths.support()); !folder)
        return folder;
    std::error_code ec;
    fs::create_directories(bin, ec);
    if (ec)
        return {"cannot create " + bin.string() + ": " + ec.message()};
    const fs::path temporary = bin / "quorvel.tmp";
    fs::remove(temporary, ec);
    // copy_file carries the source's permission bits, so the copy stays executable.
    fs::copy_file(source, temporary, ec);
    if (ec)
        return {"cannot copy the hook client " + source.string() + ": " + ec.message()};
    fs::rename(temporary, installed, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return {"cannot install the hook client at " + installed.string() + ": " + ec.message()};
    }
    return {};
}

} // namespace velquist::HookInstaller
