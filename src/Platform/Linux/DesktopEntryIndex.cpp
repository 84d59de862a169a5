#include "Platform/Linux/DesktopEntryIndex.h"

#include "Shared/FileUtil.h"
#include "Shared/ProgramName.h"
#include "Shared/TextSplit.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <system_error>

namespace velquist {

namespace fs = std::filesystem;

namespace {

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

// The program an Exec line starts, past "env" and its variable assignments.
std::string programOf(const std::string& exec)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : exec) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    std::size_t index = 0;
    if (index < words.size() && fs::path(words[index]).filename() == "env") {
        ++index;
        while (index < words.size() && words[index].find('=') != std::string::npos)
            ++index;
    }
    return index < words.size() ? fs::path(words[index]).filename().string() : std::string();
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex(const std::vector<fs::path>& directories, const std::string& locale)
{
    for (const auto& directory : directories) {
        std::error_code ec;
        fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->path().extension() != ".desktop" || !it->is_regular_file(ec))
                continue;
            std::string id = it->path().lexically_relative(directory).replace_extension().string();
            std::replace(id.begin(), id.end(), '/', '-');
            if (m_seenIds.count(id))
                continue;
            m_seenIds[id] = true;
            const auto read = FileUtil::read(it->path(), 256 * 1024);
            if (read.ok())
                add(id, read.bytes, locale);
        }
    }
}

std::vector<fs::path> DesktopEntryIndex::defaultDirectories(const fs::path& home)
{
    std::vector<fs::path> directories;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        directories.push_back(fs::path(dataHome) / "applications");
    else if (home.is_absolute())
        directories.push_back(home / ".local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    for (const std::string_view entry :
         splitNonEmpty(dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share", ':')) {
        if (entry[0] == '/')
            directories.push_back(fs::path(entry) / "applications");
    }
    return directories;
}

std::string DesktopEntryIndex::defaultLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(name); value && *value)
            return value;
    }
    return {};
}

bool DesktopEntryIndex::isInterpreter(std::string_view program)
{
    return ProgramName::isInterpreter(program);
}

void DesktopEntryIndex::add(const std::string& id, const std::string& text, const std::string& locale)
{
    // "de_DE.UTF-8@euro": try Name[de_DE], then Name[de].
    std::string language = locale.substr(0, locale.find_first_of(".@"));
    const std::string shortLanguage = language.substr(0, language.find('_'));
    std::map<std::string, std::string> keys;
    bool inEntry = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string clean = trimmed(line);
        if (clean.empty() || clean[0] == '#')
            continue;
        if (clean[0] == '[') {
            inEntry = clean == "[Desktop Entry]";
            continue;
        }
        const auto equals = clean.find('=');
        if (!inEntry || equals == std::string::npos)
            continue;
        keys.emplace(trimmed(std::string_view(clean).substr(0, equals)),
                     trimmed(std::string_view(clean).substr(equals + 1)));
    }
    const auto value = [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    // A hidden entry deletes the application, also for the folders of lower precedence.
    if (value("Type") != "Application" || value("Hidden") == "true" || value("Terminal") == "true")
        return;

    DesktopEntry entry{id, std::nullopt};
    for (const std::string& key :
         {"Name[" + language + "]", "Name[" + shortLanguage + "]", std::string("Name")}) {
        if (const auto name = value(key); !name.empty()) {
            entry.name = name;
            break;
        }
    }
    if (const auto program = programOf(value("Exec")); !isInterpreter(program))
        entry.program = program;
    m_byClass.emplace(lowered(id), entry);
    if (const auto windowClass = value("StartupWMClass"); !windowClass.empty())
        m_byClass.emplace(lowered(windowClass), entry);
    m_byExecutable.emplace(lowered(id), entry);
    if (!entry.program.empty())
        m_byExecutable.emplace(lowered(entry.program), entry);
    std::istringstream categories(value("Categories"));
    std::string category;
    while (std::getline(categories, category, ';')) {
        if (category == "TerminalEmulator") {
            const auto byName = [](const DesktopEntry& a, const DesktopEntry& b) {
                return std::pair(lowered(a.name.value_or(a.id)), a.id) <
                       std::pair(lowered(b.name.value_or(b.id)), b.id);
            };
            m_terminals.insert(std::upper_bound(m_terminals.begin(), m_terminals.end(), entry, byName),
                               entry);
            break;
        }
    }
}

std::optional<DesktopEntry> DesktopEntryIndex::byWindowClass(std::string_view windowClass) const
{
    if (const auto found = m_byClass.find(lowered(windowClass)); found != m_byClass.end())
        return found->second;
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntryIndex::byExecutable(std::string_view name) const
{
    if (const auto found = m_byExecutable.find(lowered(name)); found != m_byExecutable.end())
        return found->second;
    return std::nullopt;
}

} // namespace velquist
