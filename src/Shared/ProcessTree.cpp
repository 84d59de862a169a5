#include "Shared/ProcessTree.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velquist::ProcessTree {

namespace {

std::optional<std::string> readSmallFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        // A /proc record comes whole from one read that has room for it; asking again only to
        // hear the end costs a system call per process, and the hook client walks fifteen.
        if (static_cast<size_t>(n) < sizeof buffer || text.size() > 64 * 1024)
            break;
    }
    ::close(fd);
    return text;
}

// Finds a character device with this number in one /dev folder.
std::string findDevice(const char* folder, const char* prefix, dev_t device)
{
    const std::string base(folder);
    for (int index = 0; index < 64; ++index) {
        const std::string name = std::string(prefix) + std::to_string(index);
        struct stat info
        {
        };
        if (::stat((base + "/" + name).c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
            info.st_rdev == device)
            return name;
    }
    return {};
}

bool isCommandShell(std::string_view program)
{
    if (const auto slash = program.rfind('/'); slash != std::string_view::npos)
        program.remove_prefix(slash + 1);
    // A login shell's name starts with "-".
    if (program.starts_with('-'))
        program.remove_prefix(1);
    constexpr std::string_view kShells[] = {"sh",    "dash", "bash", "zsh",  "fish", "ksh", "mksh",
                                            "pdksh", "ash",  "yash", "posh", "csh",  "tcsh"};
    for (const std::string_view shell : kShells) {
        if (program == shell)
            return true;
    }
    return false;
}

} // namespace

std::vector<std::string> commandLine(pid_t pid)
{
    std::vector<std::string> arguments;
    if (pid <= 0)
        return arguments;
    const auto text = readSmallFile("/proc/" + std::to_string(pid) + "/cmdline");
    if (!text)
        return arguments;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        arguments.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return arguments;
}

bool runsShellCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || !isCommandShell(arguments.front()))
        return false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--" || argument == "-" || argument.size() < 2 ||
            (argument[0] != '-' && argument[0] != '+'))
            return false; // the first operand: a script or nothing to run
        if (argument.starts_with("--")) {
            if (argument == "--command" || argument.starts_with("--command="))
                return true;
            continue;
        }
        const std::string_view letters = argument.substr(1);
        if (argument[0] == '-' && letters.find('c') != std::string_view::npos)
            return true;
        // "-o name" and bash's "-O name" take the next argument as their value.
        if (letters.find_first_of("oO") != std::string_view::npos)
            ++i;
    }
    return false;
}

std::optional<ProcStat> parseStat(const std::string& text)
{
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    // After ")": state ppid pgrp session tty_nr ...
    const char* cursor = text.c_str() + close + 1;
    char* end = nullptr;
    while (*cursor == ' ')
        ++cursor;
    if (*cursor == '\0')
        return std::nullopt;
    while (*cursor && *cursor != ' ')
        ++cursor; // state
    long long fields[4];
    for (long long& field : fields) {
        errno = 0;
        field = std::strtoll(cursor, &end, 10);
        if (end == cursor || errno != 0)
            return std::nullopt;
        cursor = end;
    }
    ProcStat result;
    result.parent = static_cast<pid_t>(fields[0]);
    result.ttyNr = fields[3];
    return result;
}

std::optional<ProcStat> stat(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    auto text = readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    if (!text)
        return std::nullopt;
    return parseStat(*text);
}

std::vector<pid_t> ancestors(pid_t pid, int limit)
{
    std::vector<pid_t> chain;
    pid_t current = pid;
    for (int step = 0; step < limit; ++step) {
        const auto info = stat(current);
        if (!info || info->parent < 2)
            break;
        chain.push_back(info->parent);
        current = info->parent;
    }
    return chain;
}

std::string ttyName(std::int64_t ttyNr)
{
    if (ttyNr <= 0)
        return {};
    const auto value = static_cast<std::uint64_t>(ttyNr);
    const unsigned major = static_cast<unsigned>((value >> 8) & 0xfff);
    const unsigned minor = static_cast<unsigned>((value & 0xff) | ((value >> 12) & 0xfff00));
    if (major >= 136 && major <= 143)
        return "pts/" + std::to_string((major - 136) * 256 + minor);
    if (major == 4 && minor < 64)
        return "tty" + std::to_string(minor);
    if (major == 4)
        return "ttyS" + std::to_string(minor - 64);
    const dev_t device = makedev(major, minor);
    if (auto name = findDevice("/dev", "ttyUSB", device); !name.empty())
        return name;
    return findDevice("/dev", "ttyACM", device);
}

bool isAlive(pid_t pid)
{
    if (pid < 2)
        return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace velquist::ProcessTree
