#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace velquist {

// A running OpenCode server found in the process and socket tables.
struct OpenCodeServer
{
    pid_t pid = 0;
    int port = 0;
    // Whether it takes IPv4 connections on the loopback; a server on "[::1]" alone does not.
    bool acceptsIPv4 = true;

    bool operator==(const OpenCodeServer&) const = default;

    // "http://127.0.0.1:<port>", or "http://[::1]:<port>" for a server reached only over IPv6.
    std::string baseURL() const;
};

// Finds OpenCode servers by reading /proc: processes whose command name begins with "opencode",
// the socket inodes among their open descriptors, and the listening TCP sockets of
// /proc/net/tcp and /proc/net/tcp6 on a loopback or wildcard address. Blocking: run on a worker.
namespace OpenCodeDiscovery {

// One listening socket of a socket table.
struct Listener
{
    std::uint64_t inode = 0;
    int port = 0;
    bool acceptsIPv4 = false; // on 127.0.0.1, 0.0.0.0 or an IPv4-mapped loopback address

    bool operator==(const Listener&) const = default;
};

// The listening sockets of one socket table's text (/proc/net/tcp when `v6` is false, tcp6
// otherwise) that a local client can reach: loopback or wildcard addresses. Lines that are not
// well formed are skipped.
std::vector<Listener> parseSocketTable(std::string_view text, bool v6);

// The servers of processes whose command name begins with `commandPrefix`, one per port (the
// lowest process id when several share one), in port order. None when the socket tables or the
// process list could not be read, which is not the same as finding no server.
std::optional<std::vector<OpenCodeServer>> listeningServers(const std::filesystem::path& procRoot = "/proc",
                                                            std::string_view commandPrefix = "opencode");

} // namespace OpenCodeDiscovery
} // namespace velquist
