#include "Adapters/OpenCodeDiscovery.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <system_error>

namespace velquist {

std::string OpenCodeServer::baseURL() const
{
    return std::string(acceptsIPv4 ? "http://127.0.0.1:" : "http://[::1]:") + std::to_string(port);
}

namespace OpenCodeDiscovery {

namespace {

constexpr std::string_view kListenState = "0A";

template <typename Number> std::optional<Number> hexNumber(std::string_view text)
{
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The kernel prints each 32-bit word of an address as it lies in memory, read as a host integer.
std::optional<std::uint32_t> word(std::string_view hex)
{
    return hex.size() == 8 ? hexNumber<std::uint32_t>(hex) : std::nullopt;
}

// Whether a local client reaches the address, and whether over IPv4. None when it cannot.
std::optional<bool> reachableAddress(std::string_view hex, bool v6)
{
    const std::uint32_t loopback4 = htonl(INADDR_LOOPBACK);
    if (!v6) {
        const auto address = word(hex);
        if (!address || (*address != loopback4 && *address != htonl(INADDR_ANY)))
            return std::nullopt;
        return true;
    }
    if (hex.size() != 32)
        return std::nullopt;
    in6_addr address{};
    for (int i = 0; i < 4; ++i) {
        const auto part = word(hex.substr(static_cast<std::size_t>(i) * 8, 8));
        if (!part)
            return std::nullopt;
        std::memcpy(address.s6_addr + i * 4, &*part, 4);
    }
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        std::uint32_t mapped = 0;
        std::memcpy(&mapped, address.s6_addr + 12, 4);
        if (mapped == loopback4 || mapped == htonl(INADDR_ANY))
            return true;
        return std::nullopt;
    }
    // The IPv6 wildcard may or may not take IPv4 connections (IPV6_V6ONLY); "[::1]" reaches it
    // either way.
    if (IN6_IS_ADDR_LOOPBACK(&address) || IN6_IS_ADDR_UNSPECIFIED(&address))
        return false;
    return std::nullopt;
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        auto end = line.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = line.size();
        result.push_back(line.substr(start, end - start));
        at = end;
    }
    return result;
}

std::optional<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        return std::nullopt;
    return text.str();
}

std::optional<pid_t> pidOf(const std::string& name)
{
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

// The socket inodes among a process's open descriptors; empty when they cannot be read (another
// user's process, or one that just ended).
std::vector<std::uint64_t> socketInodes(const std::filesystem::path& fdDirectory)
{
    std::vector<std::uint64_t> inodes;
    std::error_code error;
    std::filesystem::directory_iterator entries(fdDirectory, error);
    if (error)
        return inodes;
    constexpr std::string_view prefix = "socket:[";
    for (const auto& entry : entries) {
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (error)
            continue;
        const std::string text = target.string();
        if (!text.starts_with(prefix) || !text.ends_with("]"))
            continue;
        std::uint64_t inode = 0;
        const char* first = text.data() + prefix.size();
        const char* last = text.data() + text.size() - 1;
        const auto [end, parseError] = std::from_chars(first, last, inode);
        if (parseError == std::errc() && end == last)
            inodes.push_back(inode);
    }
    return inodes;
}

} // namespace

std::vector<Listener> parseSocketTable(std::string_view text, bool v6)
{
    std::vector<Listener> listeners;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto columns = fields(line);
        if (columns.size() < 10 || columns[3] != kListenState)
            continue;
        const std::string_view local = columns[1];
        const auto colon = local.find(':');
        if (colon == std::string_view::npos)
            continue;
        const auto reachable = reachableAddress(local.substr(0, colon), v6);
        const auto port = hexNumber<std::uint32_t>(local.substr(colon + 1));
        std::uint64_t inode = 0;
        const auto [inodeEnd, error] =
            std::from_chars(columns[9].data(), columns[9].data() + columns[9].size(), inode);
        if (!reachable || !port || *port == 0 || *port > 65535 || error != std::errc() ||
            inodeEnd != columns[9].data() + columns[9].size() || inode == 0)
            continue;
        listeners.push_back(Listener{inode, static_cast<int>(*port), *reachable});
    }
    return listeners;
}

std::optional<std::vector<OpenCodeServer>> listeningServers(const std::filesystem::path& procRoot,
                                                            std::string_view commandPrefix)
{
    const auto table4 = readFile(procRoot / "net/tcp");
    const auto table6 = readFile(procRoot / "net/tcp6");
    if (!table4 && !table6)
        return std::nullopt;
    std::map<std::uint64_t, Listener> byInode;
    for (const auto& listener : parseSocketTable(table4.value_or(""), false))
        byInode.emplace(listener.inode, listener);
    for (const auto& listener : parseSocketTable(table6.value_or(""), true))
        byInode.emplace(listener.inode, listener);

    std::error_code error;
    std::filesystem::directory_iterator processes(procRoot, error);
    if (error)
        return std::nullopt;
    std::map<int, OpenCodeServer> byPort;
    for (const auto& entry : processes) {
        const auto pid = pidOf(entry.path().filename().string());
        if (!pid)
            continue;
        const auto command = readFile(entry.path() / "comm");
        if (!command || !command->starts_with(commandPrefix))
            continue;
        for (const std::uint64_t inode : socketInodes(entry.path() / "fd")) {
            const auto found = byInode.find(inode);
            if (found == byInode.end())
                continue;
            const Listener& listener = found->second;
            auto [server, added] =
                byPort.try_emplace(listener.port, OpenCodeServer{*pid, listener.port, false});
            if (!added && *pid < server->second.pid)
                server->second.pid = *pid;
            server->second.acceptsIPv4 = server->second.acceptsIPv4 || listener.acceptsIPv4;
        }
    }
    std::vector<OpenCodeServer> servers;
    for (const auto& [port, server] : byPort)
        servers.push_back(server);
    return servers;
}

} // namespace OpenCodeDiscovery
} // namespace velquist
