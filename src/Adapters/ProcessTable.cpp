#include "Adapters/ProcessTable.h"

#include "Shared/FileUtil.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace velquist {

namespace {

// Recognition needs the program and the script it runs, which come first; an agent given a long
// prompt or file list on its command line must not be missed for the length of the rest.
constexpr std::size_t kCommandLinePrefix = 64 * 1024;
constexpr std::size_t kStatLimit = 64 * 1024;

std::optional<pid_t> parsePid(const std::string& name)
{
    pid_t pid = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data(), end, pid);
    if (error != std::errc() || stop != end || pid < 1)
        return std::nullopt;
    return pid;
}

struct Prefix
{
    std::string text;
    bool cut = false;
};

// The first `limit` bytes of a file that may be longer. /proc files report no size, so the read
// itself finds the end. Opened without blocking and refused unless regular, like every outside file.
std::optional<Prefix> readPrefix(const std::filesystem::path& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    // Read in small pieces: most command lines are short, and a scan reads one per process.
    Prefix prefix;
    std::array<char, 4096> chunk;
    while (prefix.text.size() <= limit) {
        const std::size_t want = std::min(chunk.size(), limit + 1 - prefix.text.size());
        const ssize_t n = ::read(fd, chunk.data(), want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        prefix.text.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    prefix.cut = prefix.text.size() > limit;
    if (prefix.cut)
        prefix.text.resize(limit);
    return prefix;
}

} // namespace

ProcessTable::ProcessTable(std::filesystem::path root, uid_t owner) : m_root(std::move(root)), m_owner(owner)
{
}

std::filesystem::path ProcessTable::folder(pid_t pid) const
{
    return m_root / std::to_string(pid);
}

std::vector<pid_t> ProcessTable::pids() const
{
    std::vector<pid_t> pids;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(m_root, ec), end; !ec && entry != end;
         entry.increment(ec)) {
        const auto pid = parsePid(entry->path().filename().string());
        if (!pid)
            continue;
        struct stat info
        {
        };
        // A process that ended since the folder was listed is simply not there.
        if (::stat(entry->path().c_str(), &info) != 0 || info.st_uid != m_owner)
            continue;
        pids.push_back(*pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::optional<std::vector<std::string>> ProcessTable::commandLine(pid_t pid) const
{
    const auto bytes = readPrefix(folder(pid) / "cmdline", kCommandLinePrefix);
    if (!bytes)
        return std::nullopt;
    std::vector<std::string> arguments;
    std::string_view rest = bytes->text;
    // An argument the prefix cuts is not passed on as if it were whole.
    if (bytes->cut) {
        const auto lastEnd = rest.rfind('\0');
        rest = rest.substr(0, lastEnd == std::string_view::npos ? 0 : lastEnd + 1);
    }
    // Arguments end in NUL; a program that rewrote its title may leave a run of them.
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const auto argument = rest.substr(0, end);
        if (!argument.empty())
            arguments.emplace_back(argument);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return arguments;
}

std::optional<ProcStat> ProcessTable::stat(pid_t pid) const
{
    const FileRead read = FileUtil::read(folder(pid) / "stat", kStatLimit);
    if (!read.ok())
        return std::nullopt;
    return ProcessTree::parseStat(read.bytes);
}

std::optional<std::string> ProcessTable::terminal(pid_t pid) const
{
    const auto record = stat(pid);
    if (!record)
        return std::nullopt;
    std::string name = ProcessTree::ttyName(record->ttyNr);
    if (name.empty())
        return std::nullopt;
    return name;
}

std::optional<std::string> ProcessTable::workingDirectory(pid_t pid) const
{
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(folder(pid) / "cwd", ec);
    // The kernel marks a folder removed under the process; it names nothing one could open.
    if (ec || !target.is_absolute() || target.string().ends_with(" (deleted)"))
        return std::nullopt;
    return target.string();
}

} // namespace velquist
