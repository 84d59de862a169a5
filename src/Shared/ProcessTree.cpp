#include "Shared/ProcessTree.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

namespace {

// Reads one decimal field as strtoll does in the C locale: white space first, an optional sign,
// then digits. False when there are no digits or the value does not fit. A NUL ends the text, as
// it ends a C string.
bool readField(std::string_view text, std::size_t& at, long long& value)
{
    const auto atEnd = [&] { return at >= text.size() || text[at] == '\0'; };
    while (!atEnd() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    bool negative = false;
    if (!atEnd() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    constexpr unsigned long long kMax = 9223372036854775807ULL;
    const unsigned long long limit = negative ? kMax + 1 : kMax;
    unsigned long long magnitude = 0;
    const std::size_t first = at;
    while (!atEnd() && text[at] >= '0' && text[at] <= '9') {
        const auto digit = static_cast<unsigned>(text[at] - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
        ++at;
    }
    if (at == first)
        return false;
    value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return true;
}

} // namespace

std::optional<ProcStat> parseStat(std::string_view text)
{
    // memrchr rather than rfind: it looks at a word at a time, and the name is near the start.
    const void* close = text.empty() ? nullptr : ::memrchr(text.data(), ')', text.size());
    if (!close)
        return std::nullopt;
    // After ")": state ppid pgrp session tty_nr ...
    std::size_t at = static_cast<std::size_t>(static_cast<const char*>(close) - text.data()) + 1;
    const auto atEnd = [&] { return at >= text.size() || text[at] == '\0'; };
    while (!atEnd() && text[at] == ' ')
        ++at;
    if (atEnd())
        return std::nullopt;
    while (!atEnd() && text[at] != ' ')
        ++at; // state
    long long fields[4];
    for (long long& field : fields) {
        if (!readField(text, at, field))
            return std::nullopt;
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
    // The hook client reads one of these for each of its ancestors: no allocation on the way.
    char path[32] = "/proc/";
    char* end = std::to_chars(path + 6, path + sizeof path - 6, pid).ptr;
    std::memcpy(end, "/stat", 6);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // A record is a few hundred bytes and comes whole from one read that has room for it.
    char buffer[4096];
    std::size_t size = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer + size, sizeof buffer - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        size += static_cast<std::size_t>(n);
        if (size == sizeof buffer) {
            // Longer than any record should be: read the rest the general way.
            std::string text(buffer, size);
            for (ssize_t more; (more = ::read(fd, buffer, sizeof buffer)) != 0;) {
                if (more < 0 && errno == EINTR)
                    continue;
                if (more < 0)
                    break;
                text.append(buffer, static_cast<std::size_t>(more));
                if (text.size() > 64 * 1024)
                    break;
            }
            ::close(fd);
            return parseStat(text);
        }
        break;
    }
    ::close(fd);
    return parseStat(std::string_view(buffer, size));
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
